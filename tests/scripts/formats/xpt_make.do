* The dataset of the transport tests, saved as ours_new.xpt (with its value
* labels in formats.xpf). gen_xport.R and gen_xport.py read the copy kept as
* ours.xpt with other programs.
clear
set obs 8
gen byte id = _n
gen double x = .
replace x = 0.1 in 1
replace x = -1/3 in 2
replace x = 2^53 + 2 in 3
* near the smallest and at the largest magnitude of the format, exactly
replace x = 3 * 16^-65 in 4
replace x = (1 - 2^-52) * 16^63 in 5
replace x = 123456789.123456789 in 6
replace x = .a in 7
replace x = .z in 8
gen float f = _n / 10
replace f = . in 8
gen str12 s = "row " + string(_n)
replace s = "" in 2
replace s = "a, b and c!" in 3
gen int day = 19000 + _n
format day %td
format f %6.2f
gen long bignum = 2000000000 - _n
format bignum %15.0fc
label define yn 0 "no" 1 "yes"
gen byte answer = mod(_n, 2)
label values answer yn
label var x "A number with a label longer than forty characters"
label data "Trial data for the transport tests"
fdasave ours_new, replace vallabfile
