INSERT INTO notes VALUES (3, 'kept');
INSERT INTO nosuchtable VALUES (1);
INSERT INTO notes VALUES (4, 'never');
