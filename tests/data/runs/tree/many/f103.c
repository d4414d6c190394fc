


x;
