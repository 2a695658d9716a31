* The data sets of this folder's tests, made with the random-number generator
* (exactly specified, so the data are stable): a test runs this file and
* calls a program; the reference generators (gen_*.py, gen_*.R) have zelta
* run the same program and write the data out. Values are multiples of 1/64
* so they are exact in single precision and in the CSV the generators read.

* A binary outcome: 300 observations, a continuous, a binary and a count
* regressor, 15 clusters g (which shift the index), an offset, frequency
* weights f of 1 to 3 and sampling weights pw from 0.5 to 3 in eighths.
program define mk_logit1
	clear
	set obs 300
	set seed 20261207
	generate x1 = round(invnormal(uniform()) * 64) / 64
	generate x2 = uniform() < 0.4
	generate x3 = floor(6 * uniform())
	generate g = 1 + floor(15 * uniform())
	generate off = round(0.3 * invnormal(uniform()) * 64) / 64
	generate y = uniform() < 1 / (1 + exp(0.4 - 0.8 * x1 + 0.6 * x2 - 0.25 * x3 - 0.3 * sin(g)))
	generate f = 1 + floor(3 * uniform())
	generate pw = (4 + floor(21 * uniform())) / 8
	order y x1 x2 x3 g off f pw
end

* Rare events: 4000 observations with about 1.5% successes.
program define mk_logit2
	clear
	set obs 4000
	set seed 20261207
	generate z1 = round(invnormal(uniform()) * 64) / 64
	generate z2 = round(uniform() * 256) / 64
	generate y = uniform() < 1 / (1 + exp(5.2 - 0.9 * z1 - 0.35 * z2))
end

* Perfect prediction: d == 1 always a success; w2 collinear with w1.
program define mk_logit3
	clear
	set obs 120
	set seed 20261208
	generate w1 = round(invnormal(uniform()) * 64) / 64
	generate d = uniform() < 0.2
	generate y = cond(d, 1, uniform() < 1 / (1 + exp(-0.3 - 1.1 * w1)))
	generate w2 = 2 * w1 + 1
end

* Counts: 400 observations, exposure t, 20 clusters, overdispersed (a
* Poisson whose mean is scaled by a gamma(2, 1/2) draw, by inversion).
program define mk_count1
	clear
	set obs 400
	set seed 7
	generate x1 = round(invnormal(uniform()) * 64) / 64
	generate x2 = uniform() < 0.5
	generate t = (4 + floor(29 * uniform())) / 8
	generate g = 1 + floor(20 * uniform())
	tempvar m u
	generate double `m' = t * exp(0.2 + 0.5 * x1 - 0.4 * x2) * 0.5 * invgammap(2, uniform())
	generate double `u' = uniform()
	generate y = 0
	forvalues k = 0/150 {
		quietly replace y = y + 1 if gammaptail(`k' + 1, `m') < `u'
	}
end

* Censored outcomes: y for tobit with ll(0) ul(3); yc censored at each
* observation's own point (cc -1, 0 or 1).
program define mk_tobit1
	clear
	set obs 300
	set seed 5
	generate x1 = round(invnormal(uniform()) * 64) / 64
	generate x2 = uniform() < 0.5
	generate g = 1 + floor(20 * uniform())
	tempvar ys cpt
	generate `ys' = round((1 + 0.8 * x1 - 0.6 * x2 + 1.3 * invnormal(uniform())) * 64) / 64
	generate y = min(max(`ys', 0), 3)
	generate `cpt' = round((0.5 + 2 * uniform()) * 64) / 64
	generate yc = cond(`ys' < -0.5, -0.5, cond(`ys' > `cpt' + 0.5, `cpt' + 0.5, `ys'))
	generate cc = cond(`ys' < -0.5, -1, `ys' > `cpt' + 0.5)
end

* Ordered outcome yo of values 1, 3, 4, 7 (not consecutive); unordered
* outcome ym of values 1, 2, 5 (1 the most frequent); 25 clusters.
program define mk_ordered1
	clear
	set obs 500
	set seed 12
	generate x1 = round(invnormal(uniform()) * 64) / 64
	generate x2 = uniform() < 0.5
	generate g = 1 + floor(25 * uniform())
	tempvar lat u1 u2 u5
	generate double `lat' = 0.9 * x1 - 0.7 * x2 + logit(uniform())
	generate yo = cond(`lat' < -1, 1, cond(`lat' < 0.3, 3, cond(`lat' < 1.4, 4, 7)))
	generate double `u1' = -ln(-ln(uniform()))
	generate double `u2' = -0.6 + 0.8 * x1 - ln(-ln(uniform()))
	generate double `u5' = -0.9 - 0.5 * x1 + 0.9 * x2 - ln(-ln(uniform()))
	generate ym = cond(`u1' >= max(`u2', `u5'), 1, cond(`u2' >= `u5', 2, 5))
end

* Quantiles: 200 observations with a skewed error whose spread grows with
* x2, and three gross outliers (observations 7, 50 and 120); values are
* multiples of 1/1024.
program define mk_qreg1
	clear
	set obs 200
	set seed 5
	generate x1 = round(invnormal(uniform()) * 1024) / 1024
	generate x2 = round(4 * uniform() * 1024) / 1024
	generate y = round((0.4 + 0.8 * x1 - 0.5 * x2 - (0.5 + 0.3 * x2) * ln(uniform())) * 1024) / 1024
	quietly replace y = y + 15 in 7
	quietly replace y = y - 12 in 50
	quietly replace y = y + 20 in 120
end

* Matched groups: 60 groups g of 2 to 7 members with 1 to 3 cases each,
* drawn without replacement with weights exp(0.9 x1 - 0.7 x2) (the members
* of largest log weight plus a Gumbel draw); 15 clusters c of 4 groups.
* Then groups that carry no information: 61 all negative, 62 all positive,
* 63 of one member.
program define mk_clogit1
	clear
	set obs 60
	set seed 3
	generate g = _n
	generate m = 2 + floor(6 * uniform())
	generate d = min(m - 1, 1 + floor(3 * uniform()))
	quietly expand m
	sort g
	generate x1 = round(invnormal(uniform()) * 64) / 64
	generate x2 = uniform() < 0.5
	tempvar k
	generate double `k' = 0.9 * x1 - 0.7 * x2 - ln(-ln(uniform()))
	sort g `k'
	by g: generate y = _n > _N - d
	generate c = floor((g - 1) / 4)
	drop m d
	local n = _N
	quietly set obs `=`n' + 6'
	quietly replace g = 61 in `=`n' + 1'/`=`n' + 3'
	quietly replace g = 62 in `=`n' + 4'/`=`n' + 5'
	quietly replace g = 63 in `=`n' + 6'
	quietly replace c = 15 in `=`n' + 1'/l
	quietly replace y = g != 61 in `=`n' + 1'/l
	local x1s 0.5 1 -1 0.25 2 0.75
	local x2s 1 0 1 0 0 1
	forvalues i = 1/6 {
		quietly replace x1 = `: word `i' of `x1s'' in `=`n' + `i''
		quietly replace x2 = `: word `i' of `x2s'' in `=`n' + `i''
	}
end
