* clogit against an independent reference (gen_clogit.R, whose values are in
* ref_clogit.do): exact conditional likelihood with groups of up to 7 members
* and 3 cases, groups without variation dropped, robust and cluster
* variance, within-group probabilities, bad input.
run chk.do
run ref_clogit.do
run mkdata.do
quietly mk_clogit1
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
* weights belong to groups: fweights give the fit of the data with each
* group repeated as separate groups; iweights the same as fweights
gen w = 1 + mod(g, 3)
clogit y x1 x2 [fweight=w], group(g) nolog
matrix bw = e(b)
matrix Vw = e(V)
scalar llw = e(ll)
display e(N) " " e(N_group)
quietly clogit y x1 x2 [iweight=w], group(g)
assert mreldif(e(b), bw) < 1e-12 & mreldif(e(V), Vw) < 1e-12
preserve
gen long id = _n
expand w
sort id, stable
by id: gen k = _n
gen gg = g*10 + k
quietly clogit y x1 x2, group(gg)
assert mreldif(e(b), bw) < 1e-8 & mreldif(e(V), Vw) < 1e-8 & reldif(e(ll), llw) < 1e-10
restore
gen w2 = w + (x1 > 0)
cap noi clogit y x1 [fweight=w2], group(g)
display _rc
cap noi clogit y x1 [pweight=w], group(g)
display _rc
