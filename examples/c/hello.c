/* Example: a small C program. */
#include <stdio.h>

int main(void) {
  printf("hello /* not a comment */\n");  // greet
  return 0;  /* done */
}
