-- Schema of the example database.
CREATE TABLE users (
  id INTEGER PRIMARY KEY,  -- row id
  name TEXT NOT NULL
);

/* Orders placed
   by users. */
CREATE TABLE orders (id INTEGER, user_id INTEGER);
SELECT * FROM users WHERE name <> '--';
