// 19 14 8 2
const char* s = "/*";
int pending = 1;
/* looks like a comment */
const char* t = "";
printf("%d", x); /* note */
s = "/*";
s = "/*"; // c
url = "http://example";
int after_url;
// plain
x = "a"; /* c
int not_in_comment;
puts("a // b");
printf("a"); // n
puts("a // b");
g("//", "x"); // c

  
