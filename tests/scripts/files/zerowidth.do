* A file with no variables whose header claims 543,452,271 observations:
* a part of it loads at once, and appending or merging it all is refused
* before anything is added.
use in 1/2 using zerowidth.dta, clear
describe, short
clear
set memory 4m
set obs 3
generate id = _n
capture noisily append using zerowidth.dta
display _rc
count
capture noisily _merge using zerowidth.dta
display _rc
count
