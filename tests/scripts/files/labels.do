* Value labels, variable labels, the dataset label and characteristics in
* files: saved with the variables that use them, all with orphans, none with
* nolabel (the names stay); a label in memory is not replaced by one of the
* same name.
set obs 3
gen a = _n
gen b = _n * 2
gen str3 s = "s" + string(_n)
label define yn 1 "yes" 2 "no"
label define orphan 5 "five"
label values a yn
label variable a "the a variable"
label data "labelled data"
char _dta[author] "me"
char b[source] "survey"
save lb
label drop _all
use lb, clear
label dir
label list
list
describe
char list
* the file's label is shown only for a read that succeeds: not before a
* subset that fails, and once (after the read) for one that works
cap noi use if nosuch == 1 using lb, clear
di _rc
use b if b > 2 using lb, clear
list
use lb, clear
* orphans keeps the unused label, nolabel on use skips them
label define orphan 5 "five"
save lb2, orphans
label drop _all
use lb2, clear
label dir
label drop _all
use lb2, clear nolabel
label dir
* a label in memory with the same name stays
label define yn 1 "YES"
use lb2, clear
label list yn
* nolabel on save leaves the tables out; the variables keep their label names
label drop _all
use lb, clear
save lb3, nolabel
label drop _all
use lb3, clear
label dir
describe
* oldformat refuses labels longer than 80 characters
use lb, clear
label define yn 3 "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxy", add
cap noi save lbold, oldformat
di _rc
label define yn 3 "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", modify
save lbold, oldformat
label drop _all
use lbold, clear
label list yn
