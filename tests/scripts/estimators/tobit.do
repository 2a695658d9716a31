* tobit and cnreg against independent references (gen_tobit.R, whose values
* are in ref_tobit.do): sigma, cluster variance, predict ycens, bad input.
run chk.do
run ref_tobit.do
run mkdata.do
quietly mk_tobit1
tobit y x1 x2, ll(0) ul(3)
ref_tobit
display e(N_lc) " " e(N_unc) " " e(N_rc) " " e(sigma)
tobit y x1 x2, ll(0) ul(3) cluster(g) nolog
ref_tobit_cl
cnreg yc x1 x2, censored(cc) nolog
ref_cnreg
* the expected value of the censored variable
quietly tobit y x1 x2, ll(0) ul(3)
predict yc1, ycens
predict xb1, xb
gen double a = (0 - xb1)/_b[sigma:_cons]
gen double c = (3 - xb1)/_b[sigma:_cons]
gen double e = 3*(1-normal(c)) + xb1*(normal(c)-normal(a)) + _b[sigma:_cons]*(normalden(a)-normalden(c))
assert reldif(yc1, e) < 1e-6
summarize yc1 y
test x1 x2
tobit
* after cnreg each observation's own bound: its value, from below or above
quietly cnreg yc x1 x2, censored(cc)
predict yc2, ycens
predict xb2, xb
gen double z2 = (yc - xb2)/_b[sigma:_cons]
gen double e2 = cond(cc == 0, xb2, cond(cc == 1, yc*(1-normal(z2)) + xb2*normal(z2) - _b[sigma:_cons]*normalden(z2), yc*normal(z2) + xb2*(1-normal(z2)) + _b[sigma:_cons]*normalden(z2)))
assert reldif(yc2, e2) < 1e-6
count if reldif(yc2, xb2) > 1e-3
* bad input
cap noi tobit y x1
display _rc
cap noi tobit y x1, ll(3) ul(0)
display _rc
cap noi tobit y x1, ll(5)
display _rc
gen bad = 2
cap noi cnreg yc x1, censored(bad)
display _rc
cap noi cnreg yc x1
display _rc
