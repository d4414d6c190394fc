int a;
// note

