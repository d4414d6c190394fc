
x;
