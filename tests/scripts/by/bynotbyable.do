* Commands that cannot run under by refuse the prefix before they run: no
* matrix, estimate or result is made or changed by the refused command.
clear
set obs 6
gen g = _n > 3
gen x = _n
gen y = _n^2 + mod(_n, 2)
matrix A = (1, 2)
quietly regress y x
cap noi by g: matrix accum A = x
cap noi by g: matrix vecaccum A = y x
cap noi by g: matrix glsaccum A = x, group(g) glsmatrix(W) row(x)
cap noi by g: matrix opaccum A = x, group(g) opvariables(y)
cap noi by g: matrix list A
cap noi by g: matrix score s = A
cap noi by g: matrix dissimilarity D = x y
cap noi bysort g: ereturn display
cap noi by g: estimates hold h1
cap noi by g: estimates unhold h1
matrix b = e(b)
matrix V = e(V)
cap noi by g: ereturn post b V
cap noi by g: ereturn repost b = b
cap noi by g: quietly matrix accum A = x
cap noi by g: capture noisily ereturn display
display _rc
* nothing changed: A is the 1 x 2 matrix, no variable s, no held estimates
matrix list A
confirm new variable s
cap noi estimates unhold h1
* the same commands run alone
matrix accum A = x
ereturn display
