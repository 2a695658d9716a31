* logit and probit against independent references (gen_logit.py, whose
* values are in ref_logit.do): coefficients and standard errors to 1e-6,
* log likelihoods to 1e-8; robust, cluster, weights, offsets, rare events,
* perfect prediction, collinearity, predict, test, replay and bad input.
run chk.do
run ref_logit.do
run mkdata.do
quietly mk_logit1
logit y x1 x2 x3
ref_logit1
ereturn list
logit, or
logit y x1 x2 x3, robust nolog
ref_logit1_rob
logit y x1 x2 x3, cluster(g) nolog
ref_logit1_cl
display e(N_clust) " " e(vcetype) " " e(clustvar)
probit y x1 x2 x3
ref_probit1
probit y x1 x2 x3, robust nolog
ref_probit1_rob
probit y x1 x2 x3, cluster(g) nolog
ref_probit1_cl
logit y x1 x2 x3, noconstant nolog
ref_logit_nocons
logit y x1 x2 x3 [fweight=f], nolog
ref_logit_fw
logit y x1 x2 x3 [fweight=f], robust nolog
ref_logit_fwrob
* iweights give the same fit as fweights
quietly logit y x1 x2 x3 [fweight=f]
matrix bf = e(b)
matrix Vf = e(V)
quietly logit y x1 x2 x3 [iweight=f]
assert mreldif(e(b), bf) < 1e-12 & mreldif(e(V), Vf) < 1e-12
display e(N) " " e(wtype)
logit y x1 x2 x3 [pweight=pw], nolog
ref_logit_pw
logit y x1 x2 x3, offset(off) nolog
ref_logit_off
* level() and the interval
logit y x1 x2 x3, level(90) nolog
* predict: probability (the default), xb, stdp
quietly logit y x1 x2 x3
predict p1
predict xb1, xb
predict s1, stdp
gen double chkp = 1/(1+exp(-(_b[x1]*x1 + _b[x2]*x2 + _b[x3]*x3 + _b[_cons])))
assert reldif(p1, chkp) < 1e-6
assert reldif(xb1, _b[x1]*x1 + _b[x2]*x2 + _b[x3]*x3 + _b[_cons]) < 1e-6
summarize p1 xb1 s1
quietly probit y x1 x2 x3
predict p2, pr
assert reldif(p2, normal(_b[x1]*x1 + _b[x2]*x2 + _b[x3]*x3 + _b[_cons])) < 1e-6
quietly logit y x1 x2 x3, offset(off)
predict p3
assert reldif(p3, invlogit(_b[x1]*x1 + _b[x2]*x2 + _b[x3]*x3 + _b[_cons] + off)) < 1e-6
predict p4, nooffset
assert reldif(p4, invlogit(_b[x1]*x1 + _b[x2]*x2 + _b[x3]*x3 + _b[_cons])) < 1e-6
* test: the chi2 form
quietly logit y x1 x2 x3
test x1 x2
display r(chi2) " " r(df) " " r(p)
test x1 = x3
quietly count if e(sample)
display r(N)
* rare events
quietly mk_logit2
logit y z1 z2
ref_logit_rare
probit y z1 z2, nolog
ref_probit_rare
* perfect prediction: d == 1 decides the outcome; w2 is collinear with w1
quietly mk_logit3
logit y w1 d w2
ref_logit_perfect
matrix list e(b)
quietly count if e(sample)
display r(N)
probit y w1 d, nolog
* quasi-complete separation by a regressor of three values among others:
* below 0 all failures, above 0 all successes, mixed at 0; the fit goes on
* over the rows at 0 and equals the fit of that subsample
gen t = cond(w1 < -0.3, -1, cond(w1 > 0.3, 1, 0))
gen yq = cond(t == -1, 0, cond(t == 1, 1, y))
logit yq w2 t d, iterate(50)
display e(N) " " e(converged) " " e(ic)
matrix bq = e(b)
quietly logit yq w2 d if t == 0
assert reldif(bq[1,1], _b[w2]) < 1e-10 & reldif(bq[1,4], _b[_cons]) < 1e-10
probit yq t w2, nolog
display e(N) " " e(converged)
* complete separation by a continuous regressor
gen s = cond(y, w1 + 10, w1 - 10)
cap noi logit y s
display _rc
* non-convergence: the results are posted, e(converged) = 0, r(430)
cap noi logit y w1, iterate(1)
display _rc " " e(converged) " " e(ic)
* bad input: the dataset stays as it was
describe, short
cap noi logit y w1 if w1 > 100
display _rc
gen str3 sy = "a"
cap noi logit sy w1
display _rc
gen one = 1
cap noi logit one w1
display _rc
cap noi logit y w1 if d
display _rc
gen fw = 1.5
cap noi logit y w1 [fweight=fw]
display _rc
replace fw = -1
cap noi logit y w1 [fweight=fw]
display _rc
cap noi logit y w1 [aweight=fw]
display _rc
gen c1 = 1
cap noi logit y w1, cluster(c1)
display _rc
cap noi logit y w1, bogus
display _rc
cap noi logit y w1, iterate(-1)
display _rc
cap noi logit y w1, offset(nosuch)
display _rc
cap noi logit y, noconstant
display _rc
cap noi probit y w1, or
display _rc
describe, short
* replay after another estimator's results
quietly regress y w1
cap noi logit
display _rc
