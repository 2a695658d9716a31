-- notes; with a semicolon in a comment
CREATE TABLE notes (k INTEGER, txt TEXT);
INSERT INTO notes VALUES (1, 'a;b');  /* a block comment; with one too */
INSERT INTO notes VALUES (2, 'it''s');
