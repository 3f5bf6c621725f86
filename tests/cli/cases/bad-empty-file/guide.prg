PRG1 an older guide, kept when nothing could be read
