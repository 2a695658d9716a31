* A read that fails or stops once it has begun leaves the dataset in memory
* as it was: its values, labels, characteristics, sort order, file name and
* changed flag. The small fixed memory makes the long file too big to load.
set obs 4000
gen a = _n
gen b = 1
outsheet using long.csv, comma replace
clear
set memory 16k
program show
	describe
	char list
	label list
	di `"[$S_FN]"'
	list
end
set obs 3
gen x = 4 - _n
gen str2 s = "s" + string(_n)
label define xl 1 "one" 3 "three"
label values x xl
char _dta[who] "me"
char x[note] "about x"
label data "kept"
sort x
save keepsrc, replace
replace s = "t" in 2
* insheet: more rows than fit
cap noi insheet using long.csv, clear
* infile: runs out of room part way through the file
cap noi infile a b using long.csv, clear
cap noi infile a b using in_free.raw if nosuch > 1, clear
cap noi infix str name 1-7 age 8-11 using in_fixed.raw if nosuch > 1, clear
* use: a corrupt label table after the records, a bad varlist, a bad if
cap noi use badlabel, clear
cap noi use nosuch using keepsrc, clear
cap noi use x if nosuch == 1 using keepsrc, clear
show
* the labels a failed infile made with automatic are taken back
cap noi infile a b using long.csv, automatic clear
label list
* an empty dataset keeps its characteristics and has no file name
clear
char _dta[empty] "yes"
cap noi use badlabel
cap noi insheet using long.csv
show
* a read that succeeds replaces them all
use keepsrc, clear
show
