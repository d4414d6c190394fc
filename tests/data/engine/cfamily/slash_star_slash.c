// 14 6 11 1
/*/ opens a comment */
inside

end */
/*/ a /*/
int a;
x = 1; /*/ b
c */ d
x /*/ a /*/ y
/*/
x
*/
int done;
