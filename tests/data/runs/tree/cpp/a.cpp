int a;  // one
/* two */

