PRG1 the guide of yesterday
