* use varlist if in using: the subset read in one pass, with patterns,
* ranges, abbreviations and their errors.
set obs 10
gen id = _n
gen x1 = _n * 10
gen x2 = -_n
gen y = mod(_n, 3)
gen str4 name = "n" + string(_n)
char x1[note] "kept"
char x2[note] "dropped"
save full
use x1 y if y == 1 using full, clear
list
char list
describe, short
use id-x2 in 3/5 using full, clear
list
use x* if x1 > 50 in -6/l using full, clear
list
use name id in f/2 using full, clear
list
use if id > 8 using full, clear
list
use in 10 using full, clear
list
use n~ using full, clear
describe, short
* a comma inside the if is not the one before the options
use id if inlist(id, 2, 7, 9) & y != 0 in 3/l using full, clear
list
* errors: nothing matches, ambiguous ~, unknown names, bad ranges
cap noi use z* using full, clear
di _rc
cap noi use x~ using full, clear
di _rc
cap noi use q using full, clear
di _rc
cap noi use id in 5/20 using full, clear
di _rc
cap noi use id if nosuch > 1 using full, clear
di _rc
cap noi use id using nosuch, clear
di _rc
describe, short
