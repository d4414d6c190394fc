int b;

