-- 4 1 2 1
SELECT 1;
/* open

-- never read
*/
SELECT 2;
