* reshape: wide to long and back, numeric and string j, several stubs,
* variables carried along, labels, @ in stubs, and every error with the
* data left as they were.

* --- wide to long: two stubs, a string and a labelled variable carried
clear
input id str3 name inc1 inc2 inc3 byte kids1 byte kids2 byte sex
3 "cy" 30 31 32 0 1 1
1 "ann" 10 11 12 2 2 0
2 "bob" 20 . 22 1 . 1
end
label define sx 0 "male" 1 "female"
label values sex sx
label values kids1 kidl
label values kids2 kidl
label define kidl 0 "none" 1 "one" 2 "two"
label var inc1 "1 income"
label var inc2 "2 income"
label var inc3 "3 income"
label var kids1 "children at 1"
label var kids2 "children at 2"
label var name "first name"
label data "three people"
char name[source] "register"
char _dta[note1] "made up"
char inc1[unit] "dollars"
reshape long inc kids, i(id) j(wave)
* ids sorted, kids missing for wave 3 (no kids3), bob's inc2 missing
list
describe
char list
assert _N == 9
sort id wave
* --- and back to wide: the same values, labels "j label"
reshape wide inc kids, i(id) j(wave)
list
describe
* round trip: the long labels come back as "income"
reshape long inc kids, i(id) j(wave)
describe inc kids

* --- long to wide: the first ids of every failed check are listed, and
* the data stay as they were
replace name = "bo" in 5
capture noisily reshape wide inc kids, i(id) j(wave)
display _rc
replace sex = 0 if id == 3 & wave == 3
replace sex = 1 if id == 1 & wave == 1
capture noisily reshape wide inc kids, i(id) j(wave)
display _rc
list in 1/6
replace name = "bob" in 5
replace sex = 1 if id == 3
replace sex = 0 if id == 1
replace wave = 2 in 3
capture noisily reshape wide inc kids, i(id) j(wave)
display _rc
replace wave = 2 in 6
capture noisily reshape wide inc kids, i(id) j(wave)
display _rc
assert _N == 9
list id wave inc in 1/6
replace wave = . in 3
capture noisily reshape wide inc kids, i(id) j(wave)
display _rc
replace wave = 2.5 in 3
capture noisily reshape wide inc kids, i(id) j(wave)
display _rc
replace wave = -1 in 3
capture noisily reshape wide inc kids, i(id) j(wave)
display _rc
replace wave = 3 in 3
replace wave = 3 in 6

* --- long to wide with a string j, two i variables, j values in byte order
clear
input str5 city byte year str6 sex pop
"Oslo" 1 "male" 10
"Oslo" 1 "female" 11
"Oslo" 2 "male" 12
"Rome" 1 "female" 21
"Rome" 1 "male" 20
end
label var pop "population"
capture noisily reshape wide pop, i(city year) j(sex)
display _rc
reshape wide pop, i(city year) j(sex) string
list
describe
* back to long with a string j; Rome 2 does not exist, Oslo 2 female is missing
reshape long pop, i(city year) j(sex) string
list
describe
capture noisily reshape long pop, i(city year) j(sex)
display _rc
capture noisily reshape wide pop, i(city year) j(sex)
display _rc
replace sex = "a b" in 1
capture noisily reshape wide pop, i(city year) j(sex) string
display _rc
replace sex = "" in 1
capture noisily reshape wide pop, i(city year) j(sex) string
display _rc

* --- @ in a stub, j with leading zeros, a numeric stub promoted
clear
input hh byte inc90r long inc91r float inc05r str1 tag
1 5 100000 1.5 "a"
2 6 200000 2.5 "b"
end
reshape long inc@r, i(hh) j(yr)
list
describe
reshape wide inc@r, i(hh) j(yr)
describe
list

* --- wide to long errors, each leaving the data as they were
clear
input id x1 x2 str2 y1 y2 x01z
1 1 2 "a" 3 9
1 3 4 "b" 5 9
2 5 6 "c" 7 9
end
capture noisily reshape long x, i(id) j(t)
display _rc
list
replace id = 3 in 2
capture noisily reshape long x y, i(id) j(t)
display _rc
capture noisily reshape long z, i(id) j(t)
display _rc
capture noisily reshape long x, i(id) j(x1)
display _rc
capture noisily reshape long x, i(id) j(id)
display _rc
generate x = 0
capture noisily reshape long x, i(id) j(t)
display _rc
drop x
rename x2 x01
capture noisily reshape long x, i(id) j(t)
display _rc
rename x01 x2
capture noisily reshape long x x0, i(id) j(t)
display _rc
describe, short

* --- syntax errors
capture noisily reshape
display _rc
capture noisily reshape sideways x, i(id) j(t)
display _rc
capture noisily reshape long x, j(t)
display _rc
capture noisily reshape long x, i(id)
display _rc
capture noisily reshape long, i(id) j(t)
display _rc
capture noisily reshape long x, i(id) j(t) bogus
display _rc
capture noisily reshape long x x, i(id) j(t)
display _rc
capture noisily reshape long x@y@, i(id) j(t)
display _rc
capture noisily reshape long 1x, i(id) j(t)
display _rc
capture noisily reshape long x, i(id id) j(t)
display _rc
capture noisily reshape long x, i(nosuch) j(t)
display _rc
capture noisily reshape long x, i(id) j(t u)
display _rc
capture noisily reshape wide y, i(id) j(x1 x2)
display _rc
capture noisily reshape wide x, i(id) j(id)
display _rc
capture noisily reshape wide q, i(id) j(x1)
display _rc
capture noisily reshape wide y1, i(id) j(y1) string
display _rc
capture noisily reshape wide x1, i(x1) j(x2)
display _rc
clear
capture noisily reshape long x, i(id) j(t)
display _rc

* --- long to wide: new names that clash, too many variables
clear
input id t x x1
1 1 5 7
end
capture noisily reshape wide x, i(id) j(t)
display _rc
* more variables than maxvar allows
clear
set maxvar 2048
set obs 2100
generate id = 1
generate t = _n
generate x = _n * 10
capture noisily reshape wide x, i(id) j(t)
display _rc
describe, short
* more observations than memory holds: the old data come back
clear
set memory 300k
set obs 2000
generate id = _n
forvalues k = 1/20 {
  generate x`k' = `k' * id
}
capture noisily reshape long x, i(id) j(t)
display _rc
describe, short
summarize x20
list in 2
clear
set memory 10m
