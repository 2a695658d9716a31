* clogit against an independent reference (gen_clogit.R, whose values are in
* ref_clogit.do): exact conditional likelihood with groups of up to 7 members
* and 3 cases, groups without variation dropped, robust and cluster
* variance, within-group probabilities, bad input.
run chk.do
run ref_clogit.do
insheet using clogit1.csv, clear
clogit y x1 x2, group(g)
ref_clogit
display e(N_group) " " e(group) " " e(df_m)
clogit y x1 x2, group(g) robust nolog
display e(N_clust) " " e(vcetype)
clogit y x1 x2, group(g) cluster(c) nolog
display e(N_clust)
clogit, or
quietly clogit y x1 x2, group(g)
predict double p
gen double ex = exp(_b[x1]*x1 + _b[x2]*x2)
sort g, stable
by g: gen double sx = sum(ex)
by g: replace sx = sx[_N]
assert reldif(p, ex/sx) < 1e-9
by g: gen double sp = sum(p)
by g: assert reldif(sp[_N], 1) < 1e-9
test x1 x2
* a regressor constant within every group is left out
gen gc = g*2
clogit y x1 gc, group(g) nolog
* bad input
cap noi clogit y x1
display _rc
gen one = _n
cap noi clogit y x1, group(one)
display _rc
cap noi clogit y x1 [fweight=g], group(g)
display _rc
