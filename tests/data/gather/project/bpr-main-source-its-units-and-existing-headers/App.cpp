#include <vcl.h>
USEFORM("Unit1.cpp", Form1);
  USEUNIT("Util.cpp");
USERES("App.res");
	USEUNIT("Other.pas");
