











x;
