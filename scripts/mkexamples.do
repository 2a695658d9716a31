* Makes the two example datasets shipped in system/examples from random
* draws (nothing is copied from elsewhere): a cross-section of 1,000 people
* and a small yearly panel of firms with gaps. Run from the top of the tree:
*     build/zelta -q -b do scripts/mkexamples.do
set seed 20261206
set obs 1000
generate int id = _n
generate byte age = 18 + int(47 * uniform())
generate byte sex = uniform() < 0.5
generate byte educ = 8 + int(9 * uniform()) + int(4 * uniform())
generate float hours = round(20 + 25 * uniform() + 10 * sex * (uniform() < 0.3), 0.5)
replace hours = . if uniform() < 0.03
generate float lnwage = 1.2 + 0.07 * educ + 0.04 * age - 0.0004 * age^2 - 0.12 * sex + 0.35 * invnormal(uniform())
replace lnwage = .a if uniform() < 0.02
replace lnwage = .b if hours >= .
generate byte region = 1 + int(4 * uniform())
label define sexlbl 0 "male" 1 "female"
label values sex sexlbl
label define reglbl 1 "north" 2 "south" 3 "east" 4 "west"
label values region reglbl
label variable id "person identifier"
label variable age "age in years"
label variable sex "sex"
label variable educ "years of schooling"
label variable hours "usual weekly hours"
label variable lnwage "log hourly wage"
char lnwage[missing] ".a refused, .b not asked"
label variable region "region of residence"
label data "Example people (made up)"
char _dta[source] "random draws by scripts/mkexamples.do"
format lnwage %6.3f
format hours %5.1f
sort id
save system/examples/people, replace
drop _all
set obs 400
generate int id = 1 + int((_n - 1) / 10)
generate int year = 2000 + mod(_n - 1, 10)
generate float u = uniform()
drop if u < 0.12 & year > 2000
drop u
generate float sales = round(exp(3 + 0.05 * (year - 2000) + 0.4 * invnormal(uniform())), 0.01)
generate int staff = 5 + int(60 * uniform())
generate byte exporter = uniform() < 0.3
replace sales = . if uniform() < 0.02
label define yesno 0 "no" 1 "yes"
label values exporter yesno
label variable id "firm identifier"
label variable year "calendar year"
label variable sales "sales, thousands"
label variable staff "employees"
label variable exporter "sells abroad"
label data "Example firm panel (made up)"
char _dta[source] "random draws by scripts/mkexamples.do"
sort id year
save system/examples/firms, replace
