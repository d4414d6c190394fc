-- 16 9 12 1
-- a line comment
SELECT 1 -- trailing
SELECT 1 -- a /* b
SELECT 2
-- a /*/
/* a */
SELECT /* a */ 1
/* begin

   text
end */ SELECT 1
WHERE x = '--'
--
SELECT 1 // not a comment
*/
