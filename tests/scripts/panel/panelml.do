* panelreg, mle against an independent normal likelihood (gen_panelml.py,
* values in ref_panelml.do): balanced, and unbalanced with gaps, a singleton
* and a two-row panel; robust (clustered by panel); predict; replay; bad
* input.
run chk.do
run ref_panelml.do
run mkdata.do
quietly mk_panel1
tsdeclare id t
panelreg y x1 x2 z, mle
ref_ml_bal
display e(model) " " e(N) " " e(N_g) " " e(converged)
quietly panelreg y x1 x2 z, mle robust
ref_ml_rob_bal
display e(N_clust) " " e(clustvar)
* predict u shrinks the mean residual as under re
quietly panelreg y x1 x2 z, mle
predict double u, u
predict double xb
by id: gen double mr = sum(y - xb)
by id: replace mr = mr[_N] / _N
assert reldif(u, mr * 7 * e(sigma_u)^2 / (7 * e(sigma_u)^2 + e(sigma_e)^2)) < 1e-9
drop u xb mr
panelreg, level(90)
preserve
keep if bal == 1
quietly panelreg y x1 x2 z, mle nolog
ref_ml_unb
quietly panelreg y x1 x2 z, mle robust
ref_ml_rob_unb
restore
* bad input
cap noi panelreg y x1 x2, mle re
display _rc
cap noi panelreg y x1 x2, mle iterate(-1)
display _rc
gen cl = t
cap noi panelreg y x1 x2, mle cluster(cl)
display _rc
