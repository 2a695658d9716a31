* odbc insert into a PostgreSQL table: create, append, overwrite, NULLs for
* missing values and empty strings, daily dates as DATE, a round trip of an
* example dataset value for value, and inserts that are refused.
use people, example clear
odbc exec("DROP TABLE IF EXISTS people"), dsn("zpg")
odbc insert id age sex educ hours lnwage region, table("people") create
odbc describe "people"
odbc exec("SELECT count(*) AS n, sum(age) AS age, round(sum(lnwage)::numeric, 3) AS lnwage FROM people")
summarize age lnwage
* the data back: every value as it was
tempfile orig
foreach v in age sex educ hours lnwage region {
  rename `v' `v'0
}
quietly save `orig'
odbc load, exec("SELECT * FROM people ORDER BY id") clear
describe
sort id
merge id using `orig'
assert _merge == 3
assert age == age0 & sex == sex0 & educ == educ0 & float(hours) == hours0 & region == region0
assert float(lnwage) == lnwage0 | (lnwage == . & missing(lnwage0))
* missing values, empty strings and dates
clear
set obs 4
gen long id = _n
gen double x = _n / 3
replace x = . in 2
replace x = .b in 3
gen str8 s = "v" + string(_n)
replace s = "" in 3
gen day = mdy(1, _n, 2020)
replace day = . in 4
format day %td
odbc exec("DROP TABLE IF EXISTS misc")
odbc insert id x s day, table("misc") create
odbc exec("SELECT id, x IS NULL AS xnull, s, s IS NULL AS snull, day FROM misc ORDER BY id")
odbc insert id x s day, table("misc")
odbc exec("SELECT count(*) AS n FROM misc")
odbc insert id x s day, table("misc") overwrite block
odbc exec("SELECT count(*) AS n FROM misc")
odbc load, table("misc") clear
describe
list
* refused: the table exists, no such table, a column the table lacks, a
* value the column cannot hold; the block option rolls everything back
cap noi odbc insert id, table("misc") create
di _rc
cap noi odbc insert id, table("nosuch")
di _rc
gen y = 1
cap noi odbc insert id y, table("misc")
di _rc
odbc exec("CREATE TABLE IF NOT EXISTS narrow (id smallint)")
replace id = 100000 in 4
cap noi odbc insert id, table("narrow") block
di _rc
odbc exec("SELECT count(*) AS n FROM narrow")
* overwrite whose insert fails past the first block of rows: the table
* keeps its rows
odbc exec("CREATE TABLE keep (id integer NOT NULL)")
odbc exec("INSERT INTO keep VALUES (7), (8), (9)")
preserve
clear
set obs 20000
gen long id = _n
replace id = . in 20000
cap noi odbc insert id, table("keep") overwrite
di _rc
odbc exec("SELECT count(*) AS n, sum(id) AS s FROM keep")
replace id = 1 in 20000
odbc insert id, table("keep") overwrite
odbc exec("SELECT count(*) AS n, sum(id) AS s FROM keep")
* a table another one refers to cannot be truncated: its rows are deleted
odbc exec("CREATE TABLE parent (id integer PRIMARY KEY)")
odbc exec("CREATE TABLE child (pid integer REFERENCES parent)")
odbc exec("INSERT INTO parent VALUES (-1), (-2)")
keep in 1/5
odbc insert id, table("parent") overwrite
odbc exec("SELECT count(*) AS n, sum(id) AS s FROM parent")
restore
cap noi odbc insert, table("misc")
di _rc
cap noi odbc insert id id, table("misc")
di _rc
cap noi odbc insert id, table("misc") create insert
di _rc
* text that needs quoting on the way, and doubles that come back exactly
clear
set obs 4
gen str20 s = `"say "hi", {x}"' in 1
replace s = "back\slash" in 2
replace s = "NULL" in 3
gen double x = 1 / 3 in 1/3
replace x = -1e-300 in 2
gen day = mdy(12, 31, 9999) in 1
format day %td
odbc exec("DROP TABLE IF EXISTS tricky")
odbc insert s x day, table("tricky") create
odbc load, exec("SELECT s, x, day, s IS NULL AS snull FROM tricky") clear
list
assert s[1] == `"say "hi", {x}"' & s[2] == "back\slash" & snull[3] == 0 & x[1] == 1 / 3 & x[2] == -1e-300
