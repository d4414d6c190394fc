#ifndef Unit1H
#define Unit1H
class TForm1;  // the form
#endif
