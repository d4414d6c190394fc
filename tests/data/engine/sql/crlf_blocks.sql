-- 13 6 11 1
SELECT '/*' AS opener
still a comment
*/ SELECT 3
/*/ x */
y
z */
a /*/ b /*/ c
/*/ a /*/
SELECT 4;
SELECT 5; /* open
close */
	 	
