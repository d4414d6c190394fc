int a; // one
