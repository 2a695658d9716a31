* Files of releases 111 and 110 know one missing value per type: every
* extended missing value is written as it, doubles included (2^1023, the
* bytes 7fe0 0000 0000 0000), and reads back as `.'.
set obs 5
gen double d = 1.5
replace d = . in 2
replace d = .a in 3
replace d = .z in 4
replace d = -2 in 5
gen float f = d
gen long l = d
save m111, oldformat
* the header (109 bytes), the descriptors of three variables, no
* characteristics: the records start at byte 602, 16 bytes each
shell od -v -An -tx1 -j 602 -N 80 -w16 m111.dta
use m111, clear
list
clear
set obs 2
gen double d = .b
replace d = 3 in 2
save m110, oldformat cortelle
shell od -v -An -tx1 -j 278 -N 16 -w8 m110.dta
use m110, clear
list
* the current release keeps them
clear
set obs 2
gen double d = .c in 1
save m113
use m113, clear
list
