















x;
