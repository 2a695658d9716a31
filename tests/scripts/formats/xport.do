* Version 5 transport files: a round trip value for value (types, labels,
* formats, value labels, missing codes); the files other programs read
* (the peers' readings of ours.xpt, kept by gen_xport.py and gen_xport.R)
* and a file another program wrote; the IBM conversion over the whole
* range; bad files and bad requests give a message and a code.

* The test dataset, written again: byte for byte the file the peers read.
qui do xpt_make.do
checksum ours.xpt
local want = r(checksum)
checksum ours_new.xpt
assert r(checksum) == `want'
foreach v of varlist _all {
  rename `v' o_`v'
}
save orig, replace

* Our own reading: every value, label and format as written.
fdadescribe ours_new
label drop _all
fdause ours_new, clear
describe
list id x f s day answer
label list
merge using orig
foreach v in id x f s day bignum answer {
  assert `v' == o_`v'
}
assert x[7] == .a & x[8] == .z

* The peers read ours.xpt as we do: pandas and foreign, value for value,
* and pandas reads the value labels' companion file.
fdause ours.xpt, clear
qui do ours_pandas.do
qui do ours_foreign.do
fdause formats.xpf, clear
qui do formats_pandas.do

* A file written by haven (version 5): the values it was given.
fdause peer_haven.xpt, clear
describe
list
qui do peer_haven.do
assert m[2] == .a & m[3] == .z

* The IBM conversion holds every double of its range exactly; smaller
* magnitudes are rounded to the nearest (a note), larger ones written as
* the largest (a note).
clear
set seed 2718
set obs 3000
gen double r = (uniform() - .5) * 10^(uniform() * 150 - 75)
replace r = 2^-260 * (1 + 2^-52) in 1
replace r = -(2^252 - 2^200) in 2
replace r = 1 + 2^-52 in 3
gen double o = r
fdasave range, replace
fdause range, clear
assert r == o
clear
set obs 5
gen double r = 1e-80 in 1
replace r = -1e-80 in 2
replace r = 1e-100 in 3
replace r = 1e76 in 4
replace r = -1e300 in 5
fdasave edge, replace
fdause edge, clear
format r %21.0g
list
* 1e-80 lies below 16^-65: the nearest multiple of 16^-64 * 2^-56
assert abs(r[1] - 1e-80) <= 2^-313 & r[2] == -r[1]
assert r[3] == 0 & r[4] == 16^63 & r[5] == -16^63

* `._' has no counterpart: read as `.' with a note.
shell cp ours.xpt under.xpt
shell printf '_' | dd of=under.xpt bs=1 seek=2128 conv=notrunc status=none
fdause under, clear
assert x[7] == .

* Bad requests: long names (listed), rename, a string over 200 characters.
clear
set obs 2
gen averyverylongname = 1
gen averyverylongnam2 = 2
gen short = 3
gen str244 wide = "x"
cap noi fdasave bad, replace
di _rc
fdasave bad, replace rename
fdadescribe bad
local t "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy"
replace wide = "`t'`t'`t'`t'y" in 2
cap noi fdasave bad, replace rename
di _rc
cap noi fdasave bad, rename
di _rc
* Bad files: not a transport file, truncated headers, data cut inside a
* record, a corrupt description, no such file; the data stay as they were.
describe, short
shell printf 'just some text\n' > text.xpt
cap noi fdause text, clear
di _rc
shell head -c 400 ours.xpt > short.xpt
cap noi fdause short, clear
di _rc
shell head -c 2010 ours.xpt > cut.xpt
cap noi fdause cut, clear
di _rc
shell cp ours.xpt corrupt.xpt
shell printf '\011' | dd of=corrupt.xpt bs=1 seek=641 conv=notrunc status=none
cap noi fdause corrupt, clear
di _rc
cap noi fdause nosuch, clear
di _rc
cap noi fdadescribe cut
di _rc
cap noi fdause ours
di _rc
describe, short
