* The data of this folder's tests, made with the random-number generator
* (exactly specified, so the data are stable): a test runs this file and
* calls a program; the reference generator (gen_ivfit.R) has zelta run the
* same program and write the data out. Values are multiples of 1/64 so they
* are exact in single precision and in the CSV the generator reads.

* Two endogenous regressors x1 x2 (sharing the error u with y), an exogenous
* w, three strong instruments z1-z3, heteroskedastic errors (by |z1|), 25
* clusters g, analytic weights wa and frequency weights fw of 1 to 3.
program define mk_iv1
	clear
	set obs 400
	set seed 7
	generate g = 1 + floor(25 * uniform())
	generate z1 = round(invnormal(uniform()) * 64) / 64
	generate z2 = round(invnormal(uniform()) * 64) / 64
	generate z3 = round(uniform() * 64) / 64
	generate w = round(invnormal(uniform()) * 64) / 64
	tempvar u
	generate double `u' = invnormal(uniform())
	generate x1 = round((0.8 * z1 + 0.4 * z2 + 0.3 * w + 0.6 * `u' + invnormal(uniform())) * 64) / 64
	generate x2 = round((0.5 * z2 - 0.7 * z3 + 0.5 * `u' + invnormal(uniform())) * 64) / 64
	generate y = round((1 + 1.5 * x1 - 0.8 * x2 + 0.5 * w + `u' * (1 + 0.5 * abs(z1))) * 64) / 64
	generate wa = round((0.5 + 1.5 * uniform()) * 64) / 64
	generate fw = 1 + floor(3 * uniform())
	order y w x1 x2 z1 z2 z3 g wa fw
end
