* panelprobit and panellogit against an independent quadrature likelihood
* (gen_panelbin.py, values in ref_panelbin.do): random effects with the
* default 12 points on an unbalanced panel with singletons, robust (by
* panel) and cluster() sandwiches, probability weights, 30 points against
* the integral itself; frequency weights against the expanded panels; fe
* through the conditional logit; predictions (gen_panelbinpred.py, values
* in ref_panelbinpred.do); the quadrature rule; replay; bad input.
run chk.do
run ref_panelbin.do
run ref_panelbinpred.do
run mkdata.do
quietly mk_panelbin1
tsdeclare id t
panelprobit yp x1 x2 z
ref_probit_re
display e(N_g) " " e(g_min) " " e(g_max) " " e(n_quad) " " e(model) " " e(ivar)
quietly panelprobit yp x1 x2 z, robust
ref_probit_rob
display e(N_clust) " " e(clustvar) " " e(vcetype)
quietly panelprobit yp x1 x2 z, cluster(region)
ref_probit_clu
display e(N_clust) " " e(clustvar)
quietly panelprobit yp x1 x2 z [pw=pw]
ref_probit_pw
display e(chi2_c) " " e(N_clust)
quietly panelprobit yp x1 x2 z, intpoints(30)
ref_probit_exact
* predictions: the index, the probability at u = 0 and averaged over u,
* the standard error of the index
predict double xb
predict double p0, pzero
predict double pm, pmarginal
predict double sp, stdp
ref_pred_probit
matrix V = e(V)
matrix V = V[1..4, 1..4]
matrix x = (x1[1], x2[1], z[1], 1)
matrix Q = x * V * x'
scalar sx = sqrt(el(Q,1,1))
chk sp[1] sx 1e-9
drop xb p0 pm sp
panellogit yl x1 x2 z, nolog
ref_logit_re
quietly panellogit yl x1 x2 z, robust
ref_logit_rob
quietly panellogit yl x1 x2 z, cluster(region)
ref_logit_clu
quietly panellogit yl x1 x2 z [pw=pw]
ref_logit_pw
quietly panellogit yl x1 x2 z, intpoints(30)
ref_logit_exact
* predictions: the index, the probability at u = 0 and averaged over u,
* the standard error of the index
predict double xb
predict double p0, pzero
predict double pm, pmarginal
predict double sp, stdp
ref_pred_logit
matrix V = e(V)
matrix V = V[1..4, 1..4]
matrix x = (x1[1], x2[1], z[1], 1)
matrix Q = x * V * x'
scalar sx = sqrt(el(Q,1,1))
chk sp[1] sx 1e-9
drop xb p0 pm sp
cap noi predict double r, residuals
display _rc
cap noi predict double r, pzero pmarginal
display _rc
* replay
panellogit, level(90)
* frequency weights of panels: the same fit as the panels repeated
gen int fw = mod(id, 3) + 1
quietly panelprobit yp x1 x2 z [fw=fw]
matrix b1 = e(b)
scalar ll1 = e(ll)
scalar n1 = e(N)
preserve
expand fw
bysort id t: gen int copy = _n
gen long id2 = id * 10 + copy
quietly panelprobit yp x1 x2 z, i(id2)
assert mreldif(e(b), b1) < 1e-7
assert reldif(e(ll), ll1) < 1e-9
assert e(N) == n1
restore
* fixed effects: the conditional logit over the panels
panellogit yl x1 x2, fe nolog
matrix bfe = e(b)
display e(cmd) " " e(model) " " e(N_group)
* predict as after clogit: the probability within the panel (each panel's
* sum 1), never residuals, which the conditional model has no fit for
predict double pfe
bysort id: gen double spfe = sum(pfe)
by id: replace spfe = spfe[_N]
assert abs(spfe - 1) < 1e-12 & pfe > 0 & pfe <= 1
cap noi predict double r, residuals
display _rc
quietly clogit yl x1 x2, group(id)
assert mreldif(e(b), bfe) < 1e-12
predict double pcl
assert pfe == pcl
drop pfe spfe pcl
panellogit yl x1 x2, fe or nolog
panellogit, or
* the rule: nodes and weights of 4 points to the last digits
_GetQuad, points(4)
matrix N = r(nodes)
matrix W = r(weights)
chk N[1,4] 1.6506801238857842 1e-14
chk W[1,4] 0.08131283544724505 1e-14
chk N[1,3] 0.5246476232752904 1e-14
chk W[1,3] 0.804914090005513 1e-14
* bad input
cap noi panelprobit yp x1 x2, fe
display _rc
cap noi panellogit yl x1 x2, fe re
display _rc
cap noi panelprobit yp x1 x2, intpoints(1)
display _rc
cap noi panelprobit yp x1 x2, intpoints(2.5)
display _rc
gen w2 = t
cap noi panelprobit yp x1 x2 [pw=w2]
display _rc
gen cl = t
cap noi panelprobit yp x1 x2, cluster(cl)
display _rc
gen one = 1
cap noi panelprobit one x1 x2
display _rc
cap noi panelprobit yp x1 x2 [aw=pw]
display _rc
cap noi panellogit yl x1, or
display _rc
cap noi _GetQuad, points(129)
display _rc
cap noi panelprobit, level(90)
display _rc
tsdeclare, clear
cap noi panelprobit yp x1 x2
display _rc

* With this draw the likelihood stops rising, to its last digits, while the
* scaled gradient is still above its tolerance: the fit ends there rather
* than backing up until the iteration limit.
quietly mk_panelbin1 20261207
tsdeclare id t
panelprobit yp x1 x2 z
display e(converged), e(ic)
