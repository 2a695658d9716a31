* ivfit against AER::ivreg, sandwich and lm (gen_ivfit.R, values in
* ref_ivfit.do): 2SLS with the default, small, robust and clustered
* variances, the first stages, Sargan's and Durbin's tests; LIML with its
* kappa; two-step GMM with Hansen's J; analytic, frequency, sampling and
* importance weights; replay, predict, bad input.
run chk.do
run ref_ivfit.do
run mkdata.do
quietly mk_iv1
ivfit y w (x1 x2 = z1 z2 z3), first
ref_2sls
display e(instd) " | " e(insts) " | " e(model)
ivfit y w (x1 x2 = z1 z2 z3), small
ref_2sls_small
quietly ivfit y w (x1 x2 = z1 z2 z3), robust
ref_2sls_rob
quietly ivfit y w (x1 x2 = z1 z2 z3), robust small
ref_2sls_rob_small
quietly ivfit y w (x1 x2 = z1 z2 z3), cluster(g)
ref_2sls_clu
ivfit y w (x1 x2 = z1 z2 z3), liml
ref_liml
quietly ivfit y w (x1 x2 = z1 z2 z3), liml robust
ref_liml_rob
ivfit y w (x1 x2 = z1 z2 z3), gmm
ref_gmm
quietly ivfit y w (x1 x2 = z1 z2 z3), gmm cluster(g)
ref_gmm_clu
* weights
ivfit y w (x1 x2 = z1 z2 z3) [aw=wa]
ref_aw
display e(wtype) " " e(wexp)
quietly ivfit y w (x1 x2 = z1 z2 z3) [aw=wa], robust
ref_aw_rob
* sampling weights: the same sandwich
quietly ivfit y w (x1 x2 = z1 z2 z3) [pw=wa]
ref_aw_rob
display e(vcetype)
quietly ivfit y w (x1 x2 = z1 z2 z3) [pw=wa], cluster(g)
ref_aw_clu
quietly ivfit y w (x1 x2 = z1 z2 z3) [aw=wa], gmm
ref_aw_gmm
quietly ivfit y w (x1 x2 = z1 z2 z3) [fw=fw], first
ref_fw
quietly ivfit y w (x1 x2 = z1 z2 z3) [fw=fw], robust
ref_fw_rob
quietly ivfit y w (x1 x2 = z1 z2 z3) [fw=fw], cluster(g)
ref_fw_clu
* importance weights of whole numbers are frequency weights without robust
quietly ivfit y w (x1 x2 = z1 z2 z3) [iw=fw], liml
matrix b0 = e(b)
matrix V0 = e(V)
scalar s0 = e(sargan)
quietly ivfit y w (x1 x2 = z1 z2 z3) [fw=fw], liml
assert mreldif(e(b), b0) < 1e-12 & mreldif(e(V), V0) < 1e-12 & reldif(e(sargan), s0) < 1e-12
* a weight of zero leaves the row out
gen double w0 = cond(_n <= 20, 0, wa)
quietly ivfit y w (x1 x2 = z1 z2 z3) [aw=w0]
matrix b0 = e(b)
quietly ivfit y w (x1 x2 = z1 z2 z3) [aw=wa] if _n > 20
assert mreldif(e(b), b0) < 1e-12 & e(N) == 380
* replay and predict
ivfit, level(90)
predict double r, residuals
predict double xb
assert reldif(y - xb, r) < 1e-9
* robust and clustered first-stage F and endogeneity test: the sandwiches of
* regress on the first stages and on y with the first-stage residuals added
foreach v in "robust" "cluster(g)" {
	quietly ivfit y w (x1 x2 = z1 z2 z3), `v' first
	matrix F = e(first)
	scalar en = e(endog)
	display e(endogtest) " " e(df_endog)
	quietly regress x1 w z1 z2 z3, `v'
	quietly test z1 z2 z3
	assert reldif(r(F), F[1,1]) < 1e-9
	quietly predict double v1, residuals
	quietly regress x2 w z1 z2 z3, `v'
	quietly test z1 z2 z3
	assert reldif(r(F), F[1,2]) < 1e-9
	quietly predict double v2, residuals
	quietly regress y x1 x2 w v1 v2, `v'
	quietly test v1 v2
	assert reldif(2 * r(F), en) < 1e-9
	drop v1 v2
}
ivfit y w (x1 = z1 z2), robust first
* gmm small: the variance times (N-1)/(N-K) more, with or without clusters
quietly ivfit y w (x1 x2 = z1 z2 z3), gmm
matrix V0 = e(V)
quietly ivfit y w (x1 x2 = z1 z2 z3), gmm small
matrix V1 = V0 * ((e(N) - 1) / (e(N) - 4))
assert mreldif(e(V), V1) < 1e-12
display e(df_r) " " e(F)
quietly ivfit y w (x1 x2 = z1 z2 z3), gmm cluster(g)
matrix V0 = e(V)
quietly ivfit y w (x1 x2 = z1 z2 z3), gmm cluster(g) small
matrix V1 = V0 * ((e(N) - 1) / (e(N) - 4))
assert mreldif(e(V), V1) < 1e-12
display e(df_r)
* exactly identified: no overidentification test
quietly ivfit y w (x1 x2 = z1 z2)
display e(sargan) " " e(df_overid)
* an instrument collinear with the exogenous regressor
gen double wz = 2*w
cap noi ivfit y w (x1 x2 = z1 wz)
display _rc
quietly ivfit y w (x1 = z1 wz z2)
display e(insts) " " e(df_overid)
* bad input
cap noi ivfit y w (x1 x2 = z1)
display _rc
cap noi ivfit y w (x1 = x1 z1)
display _rc
cap noi ivfit y w (x1 z1 z2)
display _rc
cap noi ivfit y w (x1 = z1 z2), liml gmm
display _rc
cap noi ivfit y w (x1 = z1 z2) [iw=fw], robust
display _rc
cap noi ivfit y w (x1 = z1 z2) [iw=fw], gmm
display _rc
cap noi ivfit y w (x1 = z1 z2) [fw=wa]
display _rc
cap noi ivfit y w (x1 = nosuch)
display _rc
