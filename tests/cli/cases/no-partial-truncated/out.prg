PRG1 an older guide, kept when the listing is cut short
