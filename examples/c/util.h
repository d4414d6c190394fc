#ifndef UTIL_H
#define UTIL_H

/*
 * Helpers shared by the example programs.
 */
int add(int a, int b);  /* sum of two numbers */
int mul(int a, int b);

#endif
