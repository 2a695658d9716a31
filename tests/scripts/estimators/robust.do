* _robust and _rmcoll as commands: the sandwich of logit's robust, cluster
* and fweighted robust fits rebuilt from score variables; poisson's by
* variance(); the collinearity search with duplicates, constants and
* noconstant; bad input.
run mkdata.do
quietly mk_logit1
quietly logit y x1 x2 x3, robust
matrix Vr = e(V)
quietly logit y x1 x2 x3
predict double p
gen double u = y - p
_robust u
assert mreldif(e(V), Vr) < 1e-10
display r(N) " " e(vcetype)
quietly logit y x1 x2 x3, cluster(g)
matrix Vc = e(V)
quietly logit y x1 x2 x3
matrix D = e(V)
_robust u, variance(D) cluster(g)
assert mreldif(D, Vc) < 1e-10
display r(N_clust)
quietly logit y x1 x2 x3 [fweight=f], robust
matrix Vf = e(V)
quietly logit y x1 x2 x3 [fweight=f]
predict double pf
gen double uf = y - pf
_robust uf [fweight=f]
assert mreldif(e(V), Vf) < 1e-10
quietly poisson x3 x1 x2, robust
matrix Vp = e(V)
quietly poisson x3 x1 x2
predict double mu, n
gen double up = x3 - mu
matrix Dp = e(V)
_robust up, variance(Dp)
assert mreldif(Dp, Vp) < 1e-10
display "`e(vcetype)'|"
quietly tobit y x1 x2, ll(0) ul(3)
cap noi _robust u
display _rc
cap noi _robust u up, variance(nosuch)
display _rc
gen one = 1
quietly logit y x1 x2 x3
cap noi _robust u, cluster(one)
display _rc
gen x4 = x1 + 2*x2
_rmcoll x1 x2 x4 x3
display "`r(varlist)'" " " r(k_omitted)
_rmcoll x1 x1 x3, noconstant
display "`r(varlist)'"
gen c = 3
_rmcoll c x1
display "`r(varlist)'"
_rmcoll c x1, nocons
display "`r(varlist)'"
cap noi _rmcoll x1 if x1 > 100
display _rc
