#ifndef AppH
#define AppH
#endif
