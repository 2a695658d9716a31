* Cells keep their values whatever the widths around them: odd-width
* strings next to doubles, bytes between them, dropping, reordering,
* retyping, growing the dataset, sorting and appending with other types.
set obs 5
generate str3 s3 = "a" + string(_n)
generate byte b = _n
generate double d = _n + 0.25
generate str1 s1 = "z"
generate double e = 2*d
generate float f = d - 1
list
* a double after an odd total width reads as written
count if e > 6
display e[3] + d[5]
* drop the 3-byte string: everything after it moves
drop s3
generate double g = d + e
list
* reorder: the doubles first
order g e
list
* retyping in place: byte to int, then a wider string
replace b = b + 300
replace s1 = "long" in 2
list
* new observations are missing, then sorted in descending g
set obs 7
replace d = 10 in 6
replace g = -1 in 7
generate double ng = -g
sort ng
list
display _N
* append a file whose d is a float, b a double and s1 a str5
save colmaster, replace
clear
set obs 2
generate str5 s1 = "app" + string(_n)
generate float d = _n / 2
generate double b = _n * 1000.5
generate str2 h = "h" + string(_n)
save colusing, replace
use colmaster, clear
append using colusing
list s1 d b h
describe s1 d b h
