// 9 6 6 0
// 中文
String s = "中文"; // 中文
/* 中文
   中文 */
int 中文 = 1; /* 中文 */ int b;
　
String t = "中文//";
	int last = 0;  