










x;
