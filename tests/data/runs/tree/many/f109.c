








x;
