













x;
