* use and save: round trips of every storage type and missing code, the
* file-name macros, the changed flag, options and every error.
set obs 4
gen byte b = _n - 2
replace b = .a in 3
replace b = .z in 4
gen int i = 32740 - _n
replace i = .b in 2
gen long l = -2147483647 + _n
replace l = .y in 1
gen float f = _n / 3
replace f = .c in 4
replace f = 1e30 in 1
gen double d = _n / 7
replace d = .d in 2
replace d = -1e300 in 3
gen str3 s = substr("abcdef", _n, 3)
gen str244 w = "x" + string(_n)
char _dta[note1] "dataset note"
char d[unit] "kg"
sort b i
list
* the name without extension gets .dta
save rt
di length("$S_FNDATE")
di "$S_FN"
* unchanged data may be replaced without clear
use rt
list
describe
char list
* the same file again: refused without replace
replace b = 1 in 1
cap noi save rt
di _rc
cap noi use rt
di _rc
save rt, replace
use rt
list b in 1
* save without a name uses S_FN
replace b = 2 in 1
save, replace
use rt
list b in 1
* oldformat: extended missing values become . and memory is cleared
save rt111, oldformat
describe, short
use rt111
list
describe
char list
cap noi save rt110, oldformat cortelle
di _rc
drop w
save rt110, oldformat cortelle
use rt110
list
describe
char list
* emptyok and 0 observations
drop _all
cap noi save empty
di _rc
save empty, emptyok
use empty
describe, short
set obs 0
gen x = 1
save zero
use zero, clear
describe, short
* errors of use
cap noi use nosuch
di _rc
cap noi use notdta
di _rc
cap noi use newer
di _rc
cap noi use xpfile
di _rc
cap noi use shorthdr
di _rc
cap noi use shortdata
di _rc
cap noi use badtype
di _rc
cap noi use badorder
di _rc
cap noi use badlabel
di _rc
* a label cut short: what is there is read
use shortlabel, clear
describe, short
cap noi use, clear
di _rc
cap noi save rt, bogus
di _rc
cap noi use rt, clear bogus
di _rc
* describe using: the file's descriptors without loading it
clear
set obs 1
gen keepme = 1
describe using old_113_hi
describe id s using old_113_lo
describe using old_106_hi, short
cap noi describe using nosuch
di _rc
cap noi describe zz using old_113_hi
di _rc
describe, short
