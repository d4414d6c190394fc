// Utilities.
int Twice(int x) { return 2 * x; }
