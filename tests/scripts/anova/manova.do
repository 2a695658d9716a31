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
