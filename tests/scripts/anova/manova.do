* manova and manovatest against independent references (gen_manova.R, whose
* values are in ref_manova.do): the model and each term, partial and
* sequential, a covariate, replay, bad input.
run chk.do
run ref_manova.do
insheet using manova1.csv, clear
manova y1 y2 y3 = a b a*b
ref_model
manovatest a
ref_a
manovatest b
ref_b
manovatest b*a
ref_ab
manova
ref_model
* contrasts: a_1 = a_2; then four rows over b, the interaction and _cons
matrix list e(B)
matrix L1 = (1, -1, 0, 0, 0, 0)
manovatest, test(L1)
ref_con1
matrix L2 = (1, -1, 0, 0, 0, 0 \ 0, 0, 1, 0, 0, 0 \ 0, 0, 0, 1, 1, 0 \ 0, 0, 0, 0, 0, 1)
manovatest, test(L2)
ref_con2
* a row that repeats the others changes nothing
matrix L3 = L2 \ (1, -1, 1, 0, 0, 0)
quietly manovatest, test(L3)
ref_con2
* the test of a term is the contrast of its columns
matrix La = (1, 0, 0, 0, 0, 0 \ 0, 1, 0, 0, 0, 0)
quietly manovatest, test(La)
ref_a
matrix Lbad = (1, 0)
cap noi manovatest, test(Lbad)
display _rc
cap noi manovatest, test(nosuch)
display _rc
cap noi manovatest a, test(L1)
display _rc
matrix Lz = (0, 0, 0, 0, 0, 0)
cap noi manovatest, test(Lz)
display _rc
manova y1 y2 y3 = a x, continuous(x)
manovatest a
ref_cov_a
manovatest x
ref_cov_x
quietly manova y1 y2 y3 = b a, sequential
manovatest b
ref_seq_b
manovatest a
ref_seq_a
* bad input: the data stay as they were
datasignature
local sig `r(datasignature)'
gen str3 s = "x"
cap noi manova y1 y2 a b
display _rc
cap noi manova y1 y2 =
display _rc
cap noi manova y1 s = a
display _rc
cap noi manova y1 y2 = a s
display _rc
cap noi manova y1 y1 = a
display _rc
cap noi manova y1 y2 = y1 a
display _rc
cap noi manovatest c
display _rc
cap noi manovatest a*x
display _rc
cap noi manovatest
display _rc
gen z = y1 + y2
cap noi manova y1 y2 z = a
display _rc
drop s z
datasignature
assert "`r(datasignature)'" == "`sig'"
regress y1 x
cap noi manovatest a
display _rc
