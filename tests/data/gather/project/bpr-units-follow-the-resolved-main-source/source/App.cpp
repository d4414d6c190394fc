USEFORM("Source\UNIT1.cpp", Form1);
