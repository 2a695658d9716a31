* Predictions and tests after regress: xb, residuals, stdp; Wald tests of
* coefficients and of linear combinations (checked independently).
input y x1 x2 g
1 1 2 1
3 2 1 1
2 3 5 2
5 4 3 2
4 5 4 3
7 6 8 3
6 7 6 4
9 8 7 4
. 9 9 4
end
cap noi regres_p nofit
display _rc
regress y x1 x2
regres_p yhat
regres_p double r, residuals
regres_p se, stdp
regres_p xb2 if x1>4, xb
list
cap noi regres_p yhat
display _rc
cap noi regres_p z, xb stdp
display _rc
cap noi regres_p z, bogus
display _rc
test x1 x2
test x1 = x2
test x1 - 2*x2 = 1
test 2*x1 + x2 = x2 + 3
test x1 x1
test _cons
cap noi test nosuch
display _rc
cap noi test x1 =
display _rc
cap noi test x1, bogus
display _rc
* Tests use the robust variance after a robust fit.
regress y x1 x2, robust
test x1 x2
* A dropped regressor's constraint is dropped.
gen x3 = x1
regress y x1 x3 x2
test x3
