
















x;
