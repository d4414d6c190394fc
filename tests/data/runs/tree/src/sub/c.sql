SELECT 1; -- one
