// 23 14 13 3
#include <stdio.h>

/* A block comment
   over several lines

   that ends here */
int main(void) {  // entry
    int a = 1; /* one */ int b = 2;
	/* alone */
    a += b; /* open
    still comment
    end */ return a;
}
*/
// a /* b
int c;
/* a */ int x; /* b */
int x; /* a */ y(); /* b
int z;
 	 	 	 
	 	 	 	

