* panelreg against plm (gen_panelreg.R, values in ref_panelreg.do): within,
* random-effects (Swamy-Arora) and between fits on a balanced panel and on an
* unbalanced one with gaps, a singleton panel and a two-row panel; robust
* (clustered by panel) and cluster() errors; the LM test; weighted fe and
* be fits; predict; replay; bad input.
run chk.do
run ref_panelreg.do
run mkdata.do
quietly mk_panel1
tsdeclare id t
panelreg y x1 x2 z, fe
ref_fe_bal
quietly panelreg y x1 x2 z, fe robust
ref_fe_rob_bal
display e(N_clust) " " e(clustvar) " " e(vcetype)
quietly panelreg y x1 x2 z, fe cluster(region)
ref_fe_clu_bal
display e(N_clust) " " e(df_r)
panelreg y x1 x2 z, re bplm
ref_re_bal
quietly panelreg y x1 x2 z, re robust
ref_re_rob_bal
panelreg y x1 x2 z, be
ref_be_bal
* predictions: u + e + xb is y; the fe effects are the panel means of y - xb
quietly panelreg y x1 x2 z, fe
predict double xb
predict double u, u
predict double e, e
predict double xbu, xbu
assert reldif(xb + u + e, y) < 1e-9
assert reldif(xbu, xb + u) < 1e-9
by id: gen double mr = sum(y - xb)
by id: replace mr = mr[_N] / _N
assert reldif(u, mr) < 1e-9
quietly summarize u if t == 1
chk r(sd) e(sigma_u) 1e-9
drop xb u e xbu mr
* re effects shrink the mean residual by T su2 / (T su2 + se2)
quietly panelreg y x1 x2 z, re
predict double u, u
predict double xb, xb
by id: gen double mr = sum(y - xb)
by id: replace mr = mr[_N] / _N
assert reldif(u, mr * 7 * e(sigma_u)^2 / (7 * e(sigma_u)^2 + e(sigma_e)^2)) < 1e-9
drop u xb mr
* replay
panelreg, level(90)
* unbalanced, with gaps and a singleton panel
preserve
keep if bal == 1
tsdeclare id t
display r(balanced)
panelreg y x1 x2 z, fe
ref_fe_unb
quietly panelreg y x1 x2 z, fe robust
ref_fe_rob_unb
quietly panelreg y x1 x2 z, fe cluster(region)
ref_fe_clu_unb
panelreg y x1 x2 z, re bplm
ref_re_unb
display e(thta_min) " " e(thta_max)
quietly panelreg y x1 x2 z, re robust
ref_re_rob_unb
quietly panelreg y x1 x2 z, be
ref_be_unb
* weights, constant within panels
panelreg y x1 x2 z [aw=wp], fe
ref_fe_aw
display e(wtype) " " e(wexp)
quietly panelreg y x1 x2 z [aw=wp], fe robust
ref_fe_aw_rob
quietly panelreg y x1 x2 z [pw=wp], fe
ref_fe_aw_rob
display e(vcetype) " " e(clustvar)
quietly panelreg y x1 x2 z [aw=wp], fe cluster(region)
ref_fe_aw_clu
quietly panelreg y x1 x2 z [fw=fp], fe
ref_fe_fw
quietly panelreg y x1 x2 z [aw=wp], be
ref_be_aw
cap noi panelreg y x1 x2 z [aw=wp], re
display _rc
cap noi panelreg y x1 x2 z [fw=fp], be
display _rc
cap noi panelreg y x1 x2 z [iw=fp], fe
display _rc
restore
* i() instead of tsdeclare, if and in
tsdeclare, clear
quietly panelreg y x1 x2 if t > 1, fe i(id)
display e(N) " " e(N_g) " " e(ivar)
* an operator across the gaps of the unbalanced rows: lags need the previous period
tsdeclare id t
quietly panelreg y L.x1 x2 if bal == 1, fe
display e(N) " " e(N_g)
tsdeclare, clear
* bad input
cap noi panelreg y x1 x2, fe
display _rc
tsdeclare id t
gen zy = z
cap noi panelreg zy x1 x2, fe
display _rc
cap noi panelreg y x1 x2, fe re
display _rc
cap noi panelreg y x1 x2, fe bplm
display _rc
cap noi panelreg y x1 x2, be robust
display _rc
cap noi panelreg y x1 x2 [aw=x2], fe
display _rc
cap noi panelreg y x1 x2, fe cluster(nosuch)
display _rc
cap noi panelreg y x1 x2 if id < 2, be
display _rc
regress y x1
cap noi panelreg
display _rc
