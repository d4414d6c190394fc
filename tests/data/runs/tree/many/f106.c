





x;
