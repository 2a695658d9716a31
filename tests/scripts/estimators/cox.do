* cox against an independent reference (gen_cox.R, whose values are in
* ref_cox.do and in the columns of cox1.csv): Breslow and Efron ties,
* strata, robust and cluster variance, frequency weights, the baseline
* functions at covariates zero, martingale and Schoenfeld residuals, the
* test of proportional hazards, bad input.
run chk.do
run ref_cox.do
run ref_coxtv.do
insheet using cox1.csv, clear
cox time x1 x2 x3, dead(dead) basehazard(h0) basesurv(s0)
ref_cox_breslow
display e(N) " " e(N_fail) " " e(df_m) " " e(ties) " " e(dead) " " e(chi2type)
assert reldif(h0, h0_b) < 1e-6
assert reldif(s0, exp(-h0_b)) < 1e-6
predict double mg, martingale
assert reldif(mg, mg_b) < 1e-6
predict double hr
predict double xb, xb
assert reldif(hr, exp(_b[x1]*x1 + _b[x2]*x2 + _b[x3]*x3)) < 1e-12
assert reldif(ln(hr), xb) < 1e-12
cox, nohr
cox time x1 x2 x3, dead(dead) efron nolog
ref_cox_efron
predict double mge, martingale
assert reldif(mge, mg_e) < 1e-6
predict double h0e, basechazard
assert reldif(h0e, h0_e) < 1e-6
predict double sc1 sc2 sc3, schoenfeld
assert reldif(sc1, sc1_e) < 1e-6 if dead
assert reldif(sc3, sc3_e) < 1e-6 if dead
assert sc1 == . if !dead
phtest
ref_cox_ph_identity
phtest, transform(log)
ref_cox_ph_log
cox time x1 x2 x3, dead(dead) efron strata(s) nolog
ref_cox_strata
predict double mgs, martingale
assert reldif(mgs, mg_s) < 1e-6
predict double h0s, basechazard
assert reldif(h0s, h0_s) < 1e-6
quietly cox time x1 x2 x3, dead(dead) robust
ref_cox_robust
display e(vcetype) " " e(chi2type)
quietly cox time x1 x2 x3, dead(dead) efron cluster(cl)
ref_cox_cluster
display e(N_clust)
quietly cox time x1 x2 x3 [fweight=fw], dead(dead)
ref_cox_fweight
display e(N) " " e(N_fail)
* time-varying coefficients (gen_coxtv.R): x1 times _t, then x2 and x3
* times ln(_t) with Efron ties and strata
cox time x1 x2 x3, dead(dead) tvc(x1) nolog
ref_tvc_t
display e(tvc) " " e(texp)
cox time x1 x2 x3, dead(dead) tvc(x2 x3) texp(ln(_t)) efron strata(s) nolog nohr
ref_tvc_log
* the exact partial likelihood for ties
cox time x1 x2 x3, dead(dead) exactp nolog
ref_exact
quietly cox time x1 x2, dead(dead) exactp strata(s)
ref_exact_strata
cap noi predict double hx
display _rc
cap noi phtest
display _rc
cap noi cox time x1, dead(dead) exactp efron
display _rc
cap noi cox time x1 [fw=fw], dead(dead) exactp
display _rc
cap noi cox time x1, dead(dead) tvc(x1) robust
display _rc
cap noi cox time x1, dead(dead) texp(_t)
display _rc
cap noi cox time x1, dead(dead) tvc(x1) texp(x2)
display _rc
cap noi cox time x1, dead(dead) tvc(x1) basehazard(hh)
display _rc
* a constant covariate is dropped; no dead() means every subject failed
gen one = 1
cox time x1 one, nolog
count
* bad input: the data stay as they were
cap noi cox time x1, dead(x2) efron breslow
display _rc
gen double t0 = time - 1
cap noi cox t0 x1, dead(dead)
display _rc
gen d2 = dead * 2
cap noi cox time x1, dead(d2)
display _rc
cap noi cox time x1, dead(dead) basesurv(x1)
display _rc
gen byte none = 0
cap noi cox time x1, dead(none)
display _rc
cap noi phtest, transform(square)
display _rc
quietly cox time x1 [fweight=fw], dead(dead)
cap noi phtest
display _rc
count
describe, short
