* The data sets of this folder's tests, made with the random-number generator
* (exactly specified, so the data are stable): a test runs this file and
* calls a program; the reference generators (gen_*.py, gen_*.R) have zelta
* run the same program and write the data out. Values are multiples of 1/64
* so they are exact in single precision and in the CSV the generators read.

* Binary outcomes on an unbalanced panel: 150 panels of 2 to 8 periods, two
* of them (5 and 10) singletons; a normal panel effect u (sd 1.1) enters
* the probit outcome yp and, scaled by 1.6, the logit outcome yl; z and the
* weight pw are constant within panels; 12 regions.
program define mk_panelbin1
	args seed
	if "`seed'" == "" local seed 2
	clear
	set obs 150
	set seed `seed'
	generate id = _n
	generate t = cond(id == 5 | id == 10, 1, 2 + floor(7 * uniform()))
	generate double u = 1.1 * invnormal(uniform())
	generate z = round(invnormal(uniform()) * 64) / 64
	generate pw = round((0.5 + 2 * uniform()) * 64) / 64
	quietly expand t
	sort id
	quietly by id: replace t = _n
	generate x1 = round((invnormal(uniform()) + 0.3 * u) * 64) / 64
	generate x2 = round(uniform() * 128) / 64
	generate region = mod(id - 1, 12) + 1
	generate yp = 0.3 + 0.8 * x1 - 0.6 * x2 + 0.5 * z + u + invnormal(uniform()) > 0
	generate yl = 0.2 + 0.9 * x1 - 0.7 * x2 + 0.4 * z + 1.6 * u + logit(uniform()) > 0
	drop u
	order id t yp yl x1 x2 z region pw
end

* Continuous outcome: 40 panels of 7 years with a normal panel effect (sd
* 1.2) that x1 shares; z, the weights wp and fp and the region (8) are
* constant within panels. bal == 1 marks the unbalanced subsample: a quarter
* of the rows left out at random (gaps), panel 5 a singleton, panel 9 of two
* rows.
program define mk_panel1
	clear
	set obs 40
	set seed 11
	generate id = _n
	generate double a = 1.2 * invnormal(uniform())
	generate z = round(invnormal(uniform()) * 64) / 64
	generate wp = round((0.5 + 1.5 * uniform()) * 64) / 64
	generate fp = 1 + floor(3 * uniform())
	generate region = mod(id - 1, 8) + 1
	quietly expand 7
	sort id
	quietly by id: generate t = _n
	generate x1 = round((invnormal(uniform()) + 0.5 * a) * 64) / 64
	generate x2 = round(uniform() * 192) / 64
	generate y = round((1 + 0.7 * x1 - 1.1 * x2 + 0.4 * z + a + invnormal(uniform())) * 64) / 64
	generate bal = cond(id == 5, t == 1, cond(id == 9, t <= 2, uniform() >= 0.25))
	drop a
	order id t y x1 x2 z region bal wp fp
end
