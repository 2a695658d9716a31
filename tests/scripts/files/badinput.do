* Inputs that must be refused whole. A using file whose value-label table
* is corrupt (an entry count of 2^31-1) fails append and merge with r(688)
* before the dataset changes, as it fails use. Files that never end (links
* to /dev/zero) are refused as they are read: insheet and infile stop at a
* line over the longest, do at its "input too long", graph use at the header.
clear
set obs 2
gen byte x = _n
gen float y = _n / 4
label define lab 1 "one" 2 "two"
label values x lab
save good
shell cp good.dta bad.dta
* two variables, no characteristics: the records start at byte 440, the
* value labels at 450 and the entry count of the first table at 490
shell printf '\177\377\377\377' | dd of=bad.dta bs=1 seek=490 conv=notrunc status=none
cap noi use bad, clear
di _rc
use good, clear
label drop _all
cap noi append using bad
di _rc
describe, short
label dir
list
gen id = _n
sort id
cap noi merge using bad
di _rc
cap noi merge id using bad
di _rc
describe, short
label dir
list
* the good file still combines
drop id
append using good
merge using good
list
* files that never end
shell ln -s /dev/zero zero.csv
shell ln -s /dev/zero zero.raw
shell ln -s /dev/zero zero.gph
shell ln -s /dev/zero zero.do
clear
cap noi insheet using zero.csv
di _rc
cap noi infile a b using zero.raw
di _rc
cap noi graph use zero
di _rc
cap noi do zero
di _rc
di "still running"
