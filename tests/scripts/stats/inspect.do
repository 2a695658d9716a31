* inspect: signs, integers, missing values, the histogram, distinct values,
* value-label coverage, strings, if/in, by, r() and errors.
input double x byte g str4 s
-3 1 "a"
-1.5 1 "b"
0 2 ""
2 2 "a"
2 3 "c"
2.5 3 ""
7 1 "d"
12 . "a"
. 2 "b"
end
label define gl 1 "one" 2 "two"
label values g gl
label variable x "The x"
inspect x
return list
inspect g s
return list
inspect x if g == 1
inspect x in 3/5
quietly inspect g
display r(N) " " r(N_unique) " " r(N_undoc)
* A value label that is not defined covers no value.
label values g nolab
quietly inspect g
display r(N_unique) " " r(N_undoc)
label values g gl
bysort g: inspect x
* 1,000 observations: -3 to 3, each 143 times but -3 (142 times); the
* fifths of the range hold 285, 143, 143, 143 and 286 of them.
clear
set obs 1000
generate byte v = mod(_n, 7) - 3
inspect v
display r(N_neg) " " r(N_0) " " r(N_pos) " " r(N_negint) " " r(N_posint)
* One value, and no values at all.
generate c = 5
replace c = .a in 1
inspect c
generate m = .
inspect m
display r(N) " " r(N_unique)
inspect v if v > 5
* Errors.
cap noi inspect nosuch
display _rc
cap noi inspect v, detail
display _rc
cap noi inspect v in 2000
display _rc
