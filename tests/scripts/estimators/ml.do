* ml with a likelihood written as a program (method lf): a user-written
* probit reproduces probit to 1e-6, and a normal regression with a second
* equation for ln sigma reproduces the least-squares coefficients.
insheet using logit1.csv, clear
program define myprobit
	args lnf xb
	quietly replace `lnf' = ln(normal(`xb')) if $ML_y1 != 0
	quietly replace `lnf' = ln(normal(-`xb')) if $ML_y1 == 0
end
ml model lf myprobit (y = x1 x2 x3)
ml maximize
matrix bml = e(b)
matrix Vml = e(V)
scalar llml = e(ll)
display e(cmd) " " e(N) " " e(k) " " e(converged)
ml display, level(90)
quietly probit y x1 x2 x3
assert mreldif(bml, e(b)) < 1e-6
assert mreldif(Vml, e(V)) < 1e-6
assert reldif(llml, e(ll)) < 1e-10
program define mynormal
	args lnf mu lnsig
	quietly replace `lnf' = ln(normalden(($ML_y1 - `mu')/exp(`lnsig'))) - `lnsig'
end
ml model lf mynormal (xb: x3 = x1 x2) (lnsig:)
ml maximize, nolog
scalar b1 = [xb]_b[x1]
scalar b2 = _b[xb:x2]
quietly regress x3 x1 x2
assert reldif(_b[x1], b1) < 1e-6 & reldif(_b[x2], b2) < 1e-6
* a program that leaves missing values; one that fails
program define badprog
	args lnf xb
	quietly replace `lnf' = .
end
ml model lf badprog (y = x1)
cap noi ml maximize
display _rc
cap noi ml model d1 myprobit (y = x1)
display _rc
cap noi ml model lf myprobit
display _rc
cap noi ml bogus
display _rc
describe, short
