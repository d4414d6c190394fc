// 10 1 9 0
{ 亇 still open under GBK
y := 1;
}
{ 中}
z := 2;
{ a
中亇
b }
// 中文
