-- 7 3 5 0
-- 中文
SELECT '中文' -- 中文
/* 中文
中文 */
SELECT 亇
xSELECT 1