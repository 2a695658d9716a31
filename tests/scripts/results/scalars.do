* named scalars
scalar a = 2 + 3
scalar define b = a * 2
scalar s = "text"
display a " " b " " s
scalar list
scalar list a
scalar a = 7
display a
set obs 2
generate v = a
list v, noobs
capture noisily scalar list nosuch
display _rc
scalar drop a
capture noisily display a
display _rc
capture noisily scalar drop a
display _rc
capture noisily scalar 1x = 2
display _rc
capture noisily scalar c =
display _rc
scalar drop _all
scalar list
matrix input A = (1,2)
scalar r = A[1,2] * 10
display r
