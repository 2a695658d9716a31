* ml with likelihoods written as programs. Method lf: a user-written probit
* reproduces probit to 1e-6, and a normal regression with a second equation
* for ln sigma reproduces the least-squares coefficients. Methods d0, d1, d2
* with mlsum, mlvecsum, mlmatsum (and mleval, mlmatbysum): a probit and a
* normal regression against the references of gen_ml.py (ref_ml.do),
* weights, and programs that fail.
run chk.do
run ref_ml.do
run mkdata.do
quietly mk_logit1
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
cap noi ml model d3 myprobit (y = x1)
display _rc
cap noi ml model lf myprobit
display _rc
cap noi ml bogus
display _rc
describe, short
* methods d0, d1, d2: one program serves all three
program define myprobd
	args lnf xb todo g H
	tempvar q lam chk
	mleval `chk' = $ML_b, eq(1)
	assert reldif(`chk', `xb') < 1e-12 if `xb' < .
	quietly gen double `q' = cond($ML_y1 != 0, 1, -1)
	mlsum `lnf' = ln(normal(`q'*`xb'))
	if `todo' == 0 | `lnf' >= . {
		exit
	}
	quietly gen double `lam' = `q'*normalden(`xb')/normal(`q'*`xb')
	mlvecsum `lnf' `g' = `lam'
	if `todo' == 1 | `lnf' >= . {
		exit
	}
	mlmatsum `lnf' `H' = -`lam'*(`lam' + `xb')
end
foreach m in d0 d1 d2 {
	ml model `m' myprobd (y = x1 x2 x3)
	ml maximize, nolog
	ref_mlprobit
}
ml model d2 myprobd (y = x1 x2 x3) [fweight=f]
ml maximize
ref_mlprobit_fw
display e(wtype) " " e(wexp)
ml model lf myprobit (y = x1 x2 x3) [fweight=f]
ml maximize, nolog
ref_mlprobit_fw
ml model d0 myprobd (y = x1 x2 x3) if x3 > 1
ml maximize, nolog
quietly count if e(sample)
display r(N) " " e(N)
matrix bsub = e(b)
scalar llsub = e(ll)
quietly probit y x1 x2 x3 if x3 > 1
assert mreldif(bsub, e(b)) < 1e-6 & reldif(llsub, e(ll)) < 1e-10
* a normal linear regression by d2: equations xb and lnsigma
program define mynormd2
	args lnf mu lnsig todo g H
	tempvar z
	tempname g1 g2 h11 h12 h22
	quietly gen double `z' = ($ML_y1 - `mu')/exp(`lnsig')
	mlsum `lnf' = ln(normalden(`z')) - `lnsig'
	if `todo' == 0 | `lnf' >= . {
		exit
	}
	mlvecsum `lnf' `g1' = `z'/exp(`lnsig'), eq(1)
	mlvecsum `lnf' `g2' = `z'*`z' - 1, eq(2)
	matrix `g' = (`g1', `g2')
	if `todo' == 1 {
		exit
	}
	mlmatsum `lnf' `h11' = -1/exp(2*`lnsig'), eq(1)
	mlmatsum `lnf' `h12' = -2*`z'/exp(`lnsig'), eq(1,2)
	mlmatsum `lnf' `h22' = -2*`z'*`z', eq(2)
	matrix `H' = (`h11', `h12' \ `h12'', `h22')
end
ml model d2 mynormd2 (xb: x3 = x1 x2) (lnsigma:)
ml maximize
ref_mlreg
matrix list e(b)
* mlmatbysum: by groups of one observation it is mlmatsum; by g with b = c = 1
* on the constant it is the sum of the squared group sizes times a
gen id = _n
gen double two = 2
gen double bb = x1 + 1
mlmatsum s1 M1 = 2*bb*bb, eq(1)
mlmatbysum s1 M2 two bb, by(id) eq(1)
assert mreldif(M1, M2) < 1e-12
gen one = 1
mlmatbysum s1 M3 two one one, by(g) eq(2)
bysort g: gen ng = _N
quietly by g: replace ng = ng*ng*(_n == 1)
quietly summarize ng
assert M3[1,1] == 2*r(sum)
matrix list M3
mlvecsum s1 v1 = x1, eq(1)
matrix list v1
mlsum s1 = x1 if x2
quietly summarize x1 if x2
assert reldif(s1, r(sum)) < 1e-12
mlsum s1 = cond(x2, ., 1)
display s1
cap noi mlvecsum s1 v1 = x1, eq(3)
display _rc
cap noi mlsum s1 = x1, bogus
display _rc
* a d1 program whose gradient is missing in the second equation, one whose
* likelihood is missing from the start, and robust with a d method
program define badgrad
	args lnf mu lnsig todo g H
	mlsum `lnf' = ln(normalden(($ML_y1 - `mu')/exp(`lnsig'))) - `lnsig'
	matrix `g' = J(1, 4, 0)
	matrix `g'[1,4] = .
end
ml model d1 badgrad (xb: x3 = x1 x2) (lnsigma:)
cap noi ml maximize
display _rc
program define badlnf
	args lnf xb todo g H
	mlsum `lnf' = ln(`xb' - 10)
end
ml model d0 badlnf (y = x1)
cap noi ml maximize
display _rc
ml model d2 myprobd (y = x1 x2 x3)
cap noi ml maximize, robust
display _rc
describe, short
