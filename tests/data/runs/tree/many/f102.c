

x;
