* poisson and negbin against independent references (gen_count.py, whose
* values are in ref_count.do): exposure, robust, cluster, irr, the test of
* alpha = 0, predict and test, and bad input.
run chk.do
run ref_count.do
run mkdata.do
quietly mk_count1
poisson y x1 x2
ref_pois
ereturn list
poisson y x1 x2, exposure(t) nolog
ref_pois_exp
gen lt = ln(t)
quietly poisson y x1 x2, offset(lt)
* a variable made after the last estimation keeps its name in e()
assert "`e(offset)'" == "lt"
ref_pois_exp
poisson y x1 x2, exposure(t) robust nolog
ref_pois_rob
poisson y x1 x2, exposure(t) cluster(g) nolog
ref_pois_cl
poisson, irr
* predict: the count (the default, with the exposure), xb, stdp
quietly poisson y x1 x2, exposure(t)
predict n1
predict xb1, xb
predict n2, nooffset
assert reldif(n1, t*exp(_b[x1]*x1 + _b[x2]*x2 + _b[_cons])) < 1e-6
assert reldif(xb1, ln(t) + _b[x1]*x1 + _b[x2]*x2 + _b[_cons]) < 1e-6
assert reldif(n2, exp(_b[x1]*x1 + _b[x2]*x2 + _b[_cons])) < 1e-6
test x1 x2
negbin y x1 x2, exposure(t)
ref_nb
display e(p_alpha) " " e(k) " " e(df_m)
predict n3
assert reldif(n3, t*exp(_b[x1]*x1 + _b[x2]*x2 + _b[_cons])) < 1e-6
test x1
negbin, irr
* bad input
cap noi poisson x1 x2
display _rc
gen h = y + 0.5
cap noi poisson h x1
display _rc
gen z = 0
cap noi poisson z x1
display _rc
cap noi poisson y x1, exposure(x1)
display _rc
cap noi poisson y x1, exposure(t) offset(lt)
display _rc
cap noi negbin y x1 if y > 1000
display _rc
cap noi negbin
display _rc
