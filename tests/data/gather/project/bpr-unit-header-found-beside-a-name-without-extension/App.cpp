#include <vcl.h>
USEUNIT("lib.d\Tool");
