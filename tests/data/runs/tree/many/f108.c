







x;
