* odbc through the SQLite driver: a data source name from the test's own
* driver files and a connection string with no data source name; integers
* of 64 bits, text and fractions where the declared type says integer,
* fractions exact and text where the type says fractions, a
* table made by insert and read back, and a file of SQL statements.
local dir : environment ZELTA_ODBC_TESTDIR
local cs "Driver=SQLiteTest;Database=`dir'/direct.db"
odbc list
odbc exec("CREATE TABLE t (id INTEGER, big INTEGER, x REAL, day DATE, s VARCHAR(10))"), connectionstring("`cs'")
odbc exec("INSERT INTO t VALUES (1, 5, 0.5, '2001-02-03', 'one'), (2, 3000000000, NULL, NULL, NULL), (3, -7, -1.25, '1959-12-31', '')")
odbc query, connectionstring("`cs'")
odbc describe "t"
odbc load, table("t") clear
describe
list
* the driver gives text in an integer column as NULL: caught (683, the data
* in memory kept); a fraction there is kept, the column made double
odbc exec("INSERT INTO t VALUES (4, 'abc', 1, NULL, 'x')")
cap noi odbc load id big, table("t") clear
di _rc " " _N
odbc exec("UPDATE t SET big = 4.5 WHERE id = 4")
odbc load id big, table("t") clear
describe big
list
* fractions keep all their digits (the driver's own numbers have 15, so
* 1/3 and 0.1*3 came back as other numbers); text where the declared type
* says fractions, empty or starting like a number, is caught (683, the data
* in memory kept) rather than loaded as missing or as its first digits
odbc exec("CREATE TABLE r (id INTEGER, x REAL, y DOUBLE)")
odbc exec("INSERT INTO r VALUES (1, 1.0/3, 0.1*3), (2, 2.0/3, NULL), (3, -1.0/7, 5)")
odbc load, table("r") clear
assert x[1] == 1/3 & y[1] == 0.1*3 & x[2] == 2/3 & x[3] == -1/7 & y[2] == . & y[3] == 5
format x y %21.0g
list
foreach v in "'abc'" "''" "'1.5e'" {
  odbc exec("UPDATE r SET x = `v' WHERE id = 2")
  cap noi odbc load, exec("SELECT y, x FROM r") clear
  di _rc " " _N " " x[2]
}
* the same holds for columns named alike (in any case) and for a name
* with a quote in it: all digits kept, text caught
odbc exec("UPDATE r SET x = 2.0/3 WHERE id = 2")
odbc load, exec(`"SELECT x, y AS "a""b", X, id AS x FROM r"') clear
describe
assert x[1] == 1/3 & v3[1] == 1/3 & ab[1] == 0.1*3 & x[2] == 2/3 & v3[3] == -1/7 & v4[3] == 3
odbc exec("UPDATE r SET x = 'abc' WHERE id = 2")
cap noi odbc load, exec("SELECT id, x, x FROM r") clear
di _rc " " _N
odbc exec(`"UPDATE r SET y = '1.5e' WHERE id = 3"')
cap noi odbc load, exec(`"SELECT id, y AS "y""q" FROM r"') clear
di _rc " " _N
* a statement file: comments, quotes holding semicolons, a failing statement
* stops the file with the server's message
odbc sqlfile("stmts.sql"), dsn("zlite")
odbc load, table("notes") dsn("zlite") clear
list
cap noi odbc sqlfile("bad.sql"), dsn("zlite")
di _rc
cap noi odbc sqlfile("nosuchfile.sql"), dsn("zlite")
di _rc
odbc exec("SELECT count(*) AS n FROM notes")
* insert and read back
use people, example clear
keep in 1/50
gen day = mdy(1, 1, 2000) + id
format day %td
odbc insert id age lnwage day, table("people") create
odbc load, table("people") clear
describe
list in 1/3
* overwrite whose insert fails after many rows: the old rows stay
odbc exec("CREATE TABLE keep (id INTEGER NOT NULL)"), dsn("zlite")
odbc exec("INSERT INTO keep VALUES (7), (8), (9)")
clear
set obs 9000
gen long id = _n
replace id = . in 9000
cap noi odbc insert id, table("keep") overwrite
di _rc
odbc exec("SELECT count(*) AS n, sum(id) AS s FROM keep")
