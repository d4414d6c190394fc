




x;
