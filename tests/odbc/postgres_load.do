* odbc against a PostgreSQL server (started by odbc_test.sh): the column
* types and their storage types, NULLs as missing, text over the longest
* string cut with one note, names made from column names, the options of
* load, and the failures that leave the data in memory as it was.
set linesize 120
odbc exec("DROP TABLE IF EXISTS kinds"), dsn("zpg")
odbc exec(`"CREATE TABLE kinds (id integer, small smallint, big bigint, num numeric(10,3), r real, d double precision, day date, stamp timestamp, name varchar(20), note text, "Mixed Case" integer)"'), dsn("zpg")
odbc exec("INSERT INTO kinds VALUES (1, 7, 9007199254740993, 12.345, 1.5, 2.25, '1960-01-01', '1960-01-02 12:00:00', 'alpha', 'short', 3), (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL), (3, -32767, -5, -0.001, -1e10, 1e300, '2024-02-29', '2000-01-01 06:00:00', '', repeat('x', 300), 4)"), dsn("zpg")
odbc query "zpg"
odbc describe "kinds"
odbc load, table("kinds") dsn("zpg") sqlshow
describe
list id small num r day stamp name
format stamp %20.4f
list big d stamp Mixed_Case
di strlen(note[3])
assert missing(small[2]) & missing(big[2]) & missing(day[2]) & name[2] == "" & note[2] == ""
assert day[3] == mdy(2, 29, 2024) & stamp[2] >= .
* a column list, lower case names, every column as text
odbc load id "Mixed Case" day, table("kinds") lowercase allstring clear
describe
list
* a query of the user's; the top values of int and long are missing codes,
* so a smallint there makes the column long, an integer there double
odbc load, exec("SELECT CAST(x AS smallint) AS s, CAST(y AS integer) AS i, CAST(x AS smallint) AS s2 FROM (VALUES (1, 5), (32767, 2147483647), (-32768, -2147483648)) AS t(x, y) ORDER BY x DESC") clear
describe
format i %12.0f
list
* numbers a double cannot hold, and NaN, are missing
odbc load, exec("SELECT 1e400::numeric AS huge, 'NaN'::float8 AS nan, 'abc'::bytea AS bytes") clear
list
* booleans are bytes 0/1; a timestamp is days since 1960 with the fraction
* of the day, shown as its date
odbc load, exec("SELECT true AS yes, false AS no, NULL::boolean AS unknown, TIMESTAMP '2020-01-01 18:00:00.5' AS t, TIMESTAMP '1959-12-31 06:00:00' AS early, 255::int2 AS i2") clear
describe
list
assert t == mdy(1, 1, 2020) + (18 * 3600 + 0.5) / 86400 & early == -1 + 0.25
* rows of numbers, truth values and text: delimiters, quotes, backslashes
* and blanks in text, empty text and NULL, text longer than the longest
* string (cut, with the note)
odbc load, exec("SELECT * FROM (VALUES (1, 'a,b', 'say ' || chr(34) || 'hi' || chr(34), 'back\slash', '', true, 1.5::float8), (2, '(x)', ' lead', NULL, 'z', false, NULL), (3, NULL, chr(34) || chr(34), 'a b', repeat('y', 3), NULL, -2)) AS t(id, c1, c2, c3, c4, ok, x) ORDER BY id") clear
describe
list
assert c1[1] == "a,b" & c2[1] == `"say "hi""' & c3[1] == "back\slash" & c2[2] == " lead" & c2[3] == `""""' & c1[3] == ""
odbc load, exec("SELECT 1 AS id, repeat('z', 300) || ',)' AS txt UNION ALL SELECT 2, 'short'") clear
di strlen(txt[1]) " " txt[2]
* dates before Christ (the driver's own text drops the mark), past 9999,
* and numeric columns: in whole rows, and column by column (a time column
* makes it so); days from tests/odbc/dates_ref.py
local far "DATE '0044-03-15 BC' AS d, TIMESTAMP '0044-03-15 18:00:00 BC' AS t, DATE '0005-02-29 BC' AS leap, DATE '12345-06-07' AS far, 1.25::numeric(6,2) AS n, 'NaN'::numeric AS nn"
odbc load, exec("SELECT `far'") clear
describe
assert d == -731507 & t == -731507 + 0.75 & leap == -717277 & far == 3793201 & n == 1.25 & nn == .
odbc load, exec("SELECT `far', TIME '10:00' AS tm") clear
assert d == -731507 & t == -731507 + 0.75 & leap == -717277 & far == 3793201 & n == 1.25 & nn == . & tm == "10:00:00"
* and back again through insert
odbc exec("DROP TABLE IF EXISTS old")
odbc insert d leap far, table("old") create
odbc load, exec("SELECT d::text AS d, leap::text AS leap, far::text AS far FROM old") clear
list
odbc load, table("old") clear
assert d == -731507 & leap == -717277 & far == 3793201
* the count of rows loaded is not limited by the block size
odbc load, exec("SELECT g AS n, g % 7 AS m, 'r' || g AS lab FROM generate_series(1, 10000) g") clear
describe
summarize n m
di lab[10000]
* failures: the data in memory stays as it was
cap noi odbc load, table("kinds")
di _rc
cap noi odbc load, table("nosuchtable") clear
di _rc
cap noi odbc load, exec("SELEC 1") clear
di _rc
* infinite dates and timestamps, in whole rows and column by column
cap noi odbc load, exec("SELECT 1 AS id, DATE 'infinity' AS d") clear
di _rc
cap noi odbc load, exec("SELECT TIMESTAMP '-infinity' AS t") clear
di _rc
cap noi odbc load, exec("SELECT DATE 'infinity' AS d, TIME '10:00' AS tm") clear
di _rc
cap noi odbc load, exec("SELECT TIMESTAMP '-infinity' AS t, TIME '10:00' AS tm") clear
di _rc
cap noi odbc load, table("kinds") dsn("nosuchdsn") clear
di _rc
cap noi odbc load, table("kinds") connectionstring("Driver=PgTest;Servername=/nonexistent;Database=postgres") clear
di _rc
cap noi odbc load, clear
di _rc
cap noi odbc load, table("kinds") exec("SELECT 1") clear
di _rc
cap noi odbc load id, exec("SELECT 1") clear
di _rc
cap noi odbc frobnicate
di _rc
cap noi odbc exec("CREATE TABLE kinds (a integer)")
di _rc
cap noi odbc describe "nosuchtable"
di _rc
describe, short
di lab[1]
