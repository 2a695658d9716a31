* regress: the analysis-of-variance header, the coefficient table and its
* options, weights, dropped regressors, replay and errors. The figures were
* checked against an independent least-squares computation.
input y x1 x2 g w
1 1 2 1 1
3 2 1 1 2
2 3 5 2 1
5 4 3 2 3
4 5 4 3 1
7 6 8 3 2
6 7 6 4 1
9 8 7 4 2
end
regress y x1 x2
* Replay with display options.
regress
regress, level(90)
regress, level(99.5) noheader
regress, beta
regress, eform(Odds) plus
* Weights: aweights are scaled to the number of observations.
regress y x1 x2 [aw=w]
regress y x1 x2 [fw=w]
regress y x1 x2 [iw=w]
regress y x1 x2 if g<4
regress y x1 x2 in 2/7
* Options of the fit.
regress y x1, noconstant
regress y x1, noconstant tsscons
gen one = 1
regress y x1 one, hascons
regress y x1, mse1
regress y x1, dof(3)
regress y x1, depname(price)
* No regressors: the constant is the mean, F is 0.
regress y
* Collinear regressors: the later one is left out.
gen x3 = x1
gen x4 = x1 + x2
regress y x1 x3 x2 x4
* A perfect fit: R-squared is exactly 1, the residual sum of squares 0.
gen yy = 2*x1 - x2 + 3
regress yy x1 x2
* Time-series operators in the list.
gen t = _n
char _dta[_TStvar] t
sort t
regress y L.x1 D.x2
* Robust variance: HC1, HC2, HC3 and clustered, also with weights.
regress y x1 x2, robust
regress y x1 x2, hc2
regress y x1 x2, hc3
regress y x1 x2, cluster(g)
regress y x1 x2 [aw=w], robust
regress y x1 x2 [fw=w], robust
regress y x1 x2 [pw=w]
regress, noheader
cap noi regress y x1, robust hc2
display _rc
cap noi regress y x1, cluster(nosuch)
display _rc
* Errors.
cap noi regress y x1, noconstant nosuch
display _rc
cap noi regress y, noconstant
display _rc
cap noi regress y x1, cluster(g) beta
display _rc
cap noi regress y x1 [iw=w], robust
display _rc
cap noi regress y x1, dof(0)
display _rc
cap noi regress y x1, level(5)
display _rc
cap noi regress y x1 if y>100
display _rc
gen str5 s = "a"
cap noi regress y s
display _rc
cap noi regress y x1 [fw=x1/2]
display _rc
cap noi regress y x1 [aw=x1-3]
display _rc
cap noi regress y nosuch
display _rc
cap noi regress y x1, eform(thisiswaytoolong)
display _rc
cap noi regress y x1, beta eform(exp)
display _rc
* by: one fit per group; replay is not allowed under by.
sort g
cap noi by g: regress y x1 if g>2
by g, rc0: regress y x1 if g>2
cap noi by g: regress
display _rc
* --- an exact fit has zero standard errors: the interval is b plus or minus
* t times 0, so both limits are the coefficient
clear
set obs 6
generate x = _n
generate y = 1 + 2 * x
regress y x
matrix list e(V)
