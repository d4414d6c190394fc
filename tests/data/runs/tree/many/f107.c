






x;
