* anova against independent references (gen_anova.R, whose values are in
* ref_anova.do): partial and sequential sums of squares, covariates,
* weights, nesting, a cell without observations, test, replay, bad input.
run chk.do
run ref_anova.do
insheet using anova1.csv, clear
anova y a b a*b
ref_twoway
test a
ref_test_a
test a*b b
ref_test_b_ab
anova
anova, regress
anovadef
anova y a b a*b, sequential
ref_twoway_seq
anova y b a b*a, seq
ref_twoway_seq2
anova y a x a*x, continuous(x)
ref_ancova
anova y a x a*x, category(a)
ref_ancova
anova y a b a*b [fw=w]
ref_fweight
anova y a b a*b [aw=w]
ref_aweight
anova y b c|b
ref_nested
test c|b
anovadef
anova y b c|b, sequential
ref_nested_seq
* a cell without observations
preserve
drop if a == 3 & b == 20
anova y a b a*b
ref_empty
anovadef
restore
* bad input: the data stay as they were
datasignature
local sig `r(datasignature)'
gen str3 s = "x"
cap noi anova y a s
display _rc
cap noi anova y
display _rc
cap noi anova y a a
display _rc
cap noi anova y a*a
display _rc
cap noi anova y a b, category(c)
display _rc
cap noi anova y a x, category(a) continuous(a x)
display _rc
cap noi anova y a x b, category(a) continuous(x)
display _rc
cap noi anova y x|a a, continuous(x) category(a)
display _rc
cap noi anova y a|x, continuous(x)
display _rc
cap noi anova y a b [pw=w]
display _rc
cap noi anova y a if a > 5
display _rc
cap noi anova y a, bogus
display _rc
cap noi anova y a, sequential partial
display _rc
cap noi anova y a nosuch
display _rc
quietly anova y a b
cap noi test a*b
display _rc
drop s
datasignature
assert "`r(datasignature)'" == "`sig'"
regress y x
cap noi anovadef
display _rc
cap noi anova
display _rc
* a design wider than matsize allows
set matsize 40
gen id = _n
cap noi anova y id
display _rc
