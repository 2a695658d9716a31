* ologit, oprobit and mlogit against independent references (gen_ordered.py,
* whose values are in ref_ordered.do): cut points, equations named by the
* outcome values, the base outcome, outcome probabilities and bad input.
run chk.do
run ref_ordered.do
run mkdata.do
quietly mk_ordered1
ologit yo x1 x2
ref_ologit
display e(k_cat) " " e(df_m) " " e(k)
matrix list e(cat)
oprobit yo x1 x2, nolog
ref_oprobit
* P(y <= j) = F(cut_j - xb): the predicted probabilities
quietly ologit yo x1 x2
predict double q1 q3 q4 q7
gen double xb = _b[x1]*x1 + _b[x2]*x2
assert reldif(q1, invlogit(_b[cut1] - xb)) < 1e-6
assert reldif(q4, invlogit(_b[cut3] - xb) - invlogit(_b[cut2] - xb)) < 1e-6
assert reldif(q1 + q3 + q4 + q7, 1) < 1e-12
predict q7b, outcome(7)
assert reldif(q7b, q7) < 1e-6
predict xb2, xb
assert reldif(xb2, xb) < 1e-6
test x1 x2
cap noi predict qq, outcome(2)
display _rc
cap noi predict qa qb
display _rc
quietly oprobit yo x1 x2
predict r1 r3 r4 r7
assert reldif(r7, 1 - normal(_b[cut3] - _b[x1]*x1 - _b[x2]*x2)) < 1e-6
* mlogit: the most frequent outcome (1) is the base
mlogit ym x1 x2
ref_mlogit
display e(baseout) " " e(k_cat)
display [2]_b[x1] " " _b[5:x2]
mlogit ym x1 x2, baseoutcome(5) nolog
ref_mlogit_b5
mlogit, rrr
quietly mlogit ym x1 x2
predict double m1 m2 m5
gen double e2 = exp(_b[2:x1]*x1 + _b[2:x2]*x2 + _b[2:_cons])
gen double e5 = exp(_b[5:x1]*x1 + _b[5:x2]*x2 + _b[5:_cons])
assert reldif(m2, e2/(1 + e2 + e5)) < 1e-6
assert reldif(m1 + m2 + m5, 1) < 1e-12
test x1
mlogit ym x1 x2, cluster(g) nolog
* bad input
gen h = yo + 0.5
cap noi ologit h x1
display _rc
cap noi mlogit ym x1, baseoutcome(3)
display _rc
cap noi ologit yo x1 if yo == 1
display _rc
cap noi oprobit yo x1, noconstant
display _rc
