#include "Unit1.h"
/* The main form. */
TForm1 *Form1;
