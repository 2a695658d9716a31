* A Break during odbc load and odbc insert (injected by odbc_test.sh at the
* second block): the data in memory stay as they were, and a block insert
* leaves the table as it was.
clear
set obs 3
gen x = _n
cap noi odbc load, exec("SELECT g AS n FROM generate_series(1, 20000) g") dsn("zpg") clear
di _rc
describe, short
list
set obs 40000
replace x = _n
odbc exec("DROP TABLE IF EXISTS brk")
odbc exec("CREATE TABLE brk (x double precision)")
cap noi odbc insert x, table("brk") block
di _rc
odbc exec("SELECT count(*) AS n FROM brk")
* without block each block is committed as it goes: the first stays
cap noi odbc insert x, table("brk")
di _rc
odbc exec("SELECT count(*) AS n FROM brk")
* overwrite empties the table in the insert's transaction: a Break keeps
* the rows that were there (one more than the blocks committed above)
odbc exec("INSERT INTO brk VALUES (-1)")
cap noi odbc insert x, table("brk") overwrite
di _rc
odbc exec("SELECT count(*) AS n FROM brk")
