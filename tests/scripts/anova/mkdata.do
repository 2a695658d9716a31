* The data of this folder's repeated-measures test, made with the
* random-number generator (exactly specified, so the data are stable): the
* test runs this file and calls the program; the reference generator
* (gen_repeated.R) has zelta run the same program and write the data out.
* Values are multiples of 1/64 so they are exact in single precision.

* Long form, one row per subject and occasion: 15 subjects subj in 3 groups
* a of 5, occasions b (4) and c (2); a normal subject effect (sd 1.5), and
* errors whose sd grows with b (0.4 b), so sphericity fails.
program define mk_repeated1
	clear
	set obs 15
	set seed 3303
	generate subj = _n
	generate a = 1 + floor((subj - 1) / 5)
	generate double u = 1.5 * invnormal(uniform())
	quietly expand 8
	sort subj
	quietly by subj: generate b = 1 + floor((_n - 1) / 2)
	quietly by subj: generate c = 1 + mod(_n - 1, 2)
	generate y = round((10 + 0.8 * (a == 2) - 0.5 * (a == 3) + 0.4 * b + 0.3 * (c == 2) + 0.5 * (a == 3) * b + u + 0.4 * b * invnormal(uniform())) * 64) / 64
	drop u
	order y subj a b c
end
