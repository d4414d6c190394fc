












x;
