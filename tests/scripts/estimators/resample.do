* bootstrap and jackknife: the jackknife against a direct computation
* (gen_resample.R, values in ref_resample.do), leave-one-out and
* leave-one-cluster-out; the bootstrap's summaries against its saved
* replications, strata and size(), cluster resampling, failed
* replications counted, the data unchanged afterwards, bad input.
run chk.do
run ref_resample.do
insheet using resample1.csv, clear
jackknife rho=r(rho): correlate y x
ref_jk_rho
display e(N_reps) " " e(N_misreps) " " e(cmd) " " e(vcetype)
jackknife rho=r(rho), cluster(c) nodots: correlate y x
ref_jk_rhocl
display e(N_clust)
jackknife, nodots: regress y x
ref_jk_b
* the bootstrap of a mean and a standard deviation, replications saved
bootstrap m=r(mean) s=r(sd), reps(40) seed(7) saving(bs1, replace): summarize y
matrix b = e(b)
matrix se = e(se)
matrix bias = e(bias)
matrix ci_p = e(ci_percentile)
matrix ci_bc = e(ci_bc)
matrix ci_n = e(ci_normal)
quietly summarize y
scalar m0 = r(mean)
assert reldif(b[1,1], m0) < 1e-12
preserve
use bs1, clear
describe, short
summarize m
assert reldif(r(sd), se[1,1]) < 1e-10
assert reldif(r(mean) - m0, bias[1,1]) < 1e-10
assert reldif(ci_n[1,1], m0 - invnormal(.975)*se[1,1]) < 1e-10
_pctile m, p(2.5 97.5)
assert ci_p[1,1] == r(r1) & ci_p[2,1] == r(r2)
count if m < m0
scalar z0 = invnormal(r(N)/40)
_pctile m, p(`=100*normal(2*z0 - invnormal(.975))' `=100*normal(2*z0 + invnormal(.975))')
assert ci_bc[1,1] == r(r1) & ci_bc[2,1] == r(r2)
restore
* the same seed gives the same replications
quietly bootstrap m=r(mean) s=r(sd), reps(40) seed(7): summarize y
assert el(e(se),1,1) == se[1,1]
* strata and size(): each replication draws 4 from each stratum
bootstrap n=r(N) t=r(sum), reps(10) seed(3) strata(g) size(4) nodots: summarize g
assert el(e(se),1,1) == 0 & el(e(se),1,2) == 0
* clusters drawn whole: 3 observations each
bootstrap n=r(N), reps(10) seed(3) cluster(c) nodots: summarize y
assert el(e(se),1,1) == 0
display e(N_clust)
* replications that fail are counted and left out
gen byte few = _n <= 3
bootstrap b=_b[x], reps(30) seed(5): regress y x if few
display e(N_reps) " " e(N_misreps)
count
describe, short
* bad input
cap noi bootstrap r(mean), reps(10) summarize y
display _rc
cap noi bootstrap r(mean), reps(1): summarize y
display _rc
cap noi bootstrap r(mean), reps(10) size(40): summarize y
display _rc
cap noi bootstrap r(mean), reps(10) frob: summarize y
display _rc
cap noi bootstrap r(mean), reps(10): summarize nosuchvar
display _rc
cap noi jackknife r(nosuch): summarize y
display _rc
count
