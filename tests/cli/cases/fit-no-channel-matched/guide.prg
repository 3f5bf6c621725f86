the guide of yesterday
