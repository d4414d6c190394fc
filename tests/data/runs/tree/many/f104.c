



x;
