#include "main.h"

// Entry point.
int main() {
  return Run();  /* delegate */
}
