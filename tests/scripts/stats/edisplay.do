* The coefficient table from the posted results: ereturn display after
* regress and after a program's own ereturn post; regress replay, predict and
* test read e(b) and e(V), so a repost changes what they show.
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
cap noi ereturn display
display _rc
* reg, regr, regre and regres abbreviate regress; re does not.
reg y x1 x2, noheader
ereturn display
ereturn display, level(90)
ereturn display, level(99.5) plus
ereturn display, eform(exp(b))
cap noi ereturn display, level(5)
display _rc
cap noi ereturn display, bogus
display _rc
regr y x1, noheader
regre y x1, noheader
regres y x2, noheader
cap noi re y x1
display _rc
bysort g: reg y x1, noheader
* A program posts its own coefficients: b = (2, 1), V = diag(1, 4), 10 df.
program define mypost, eclass
	matrix b = (2, 1)
	matrix colnames b = x1 _cons
	matrix V = (1, 0 \ 0, 4)
	matrix colnames V = x1 _cons
	matrix rownames V = x1 _cons
	ereturn post b V, depname(y) dof(10)
	ereturn local cmd "mypost"
end
mypost
ereturn display
test x1
test x1 = _cons
predict xb
predict se, stdp
predict r, residuals
list y x1 xb se r in 1/3
cap noi regress
display _rc
* Without a residual df the table shows z, test gives chi2; residuals use e(depvar).
program define mypostz, eclass
	matrix b = (2, 1)
	matrix colnames b = x1 _cons
	matrix V = (1, 0 \ 0, 4)
	matrix colnames V = x1 _cons
	matrix rownames V = x1 _cons
	ereturn post b V, depname(y)
	ereturn local cmd "mypostz"
end
mypostz
ereturn display
test x1
return list
predict r2, residuals
* A repost after regress: replay, predict and test see the new coefficients.
regress y x1 x2, noheader
program define myrepost, eclass
	matrix b = e(b)
	matrix b[1,1] = 0.5
	ereturn repost b = b
end
myrepost
regress, noheader
predict xb2
list x1 x2 xb2 in 1/2
test x1 = 0.5
* est abbreviates estimates.
est hold a
est dir
cap noi regress
display _rc
est unhold a
display e(cmd) " " _b[x1]
