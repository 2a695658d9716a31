* matrices of the saved results named as r(name) and e(name): listing,
* expressions, decompositions, score, and the not-found cases
set obs 5
generate x = _n
generate y = x^2
quietly regress y x
matrix list e(b)
matrix list e(V), format(%8.4f) title(variances)
matrix list e(V), noheader nohalf
display rowsof(e(V)), colsof(e(b)), trace(e(V))
matrix symeigen Ev lam = e(V)
matrix list lam, format(%9.6f)
matrix score yhat = e(b)
list x yhat, noobs
program define rc1, rclass
  matrix T = (1,2\3,4)
  return matrix C = T
end
rc1
matrix list r(C)
matrix list r( C )
matrix D = r(C) * 2 + e(V)
matrix list D
* a user matrix called r stays a user matrix
matrix r = (9)
matrix list r
capture noisily matrix list r(nosuch)
display _rc
capture noisily matrix list e(nosuch)
display _rc
capture noisily matrix symeigen X L = r(nosuch)
display _rc
* r() is replaced by the next r-class command
count
capture noisily matrix list r(C)
display _rc
ereturn clear
capture noisily matrix list e(b)
display _rc
