* anova with error terms and repeated(): against car::Anova on the wide form
* (gen_repeated.R, whose values are in ref_repeated.do): a split plot (a
* between, b within subjects nested in a), one group, two repeated
* variables; bad input.
run chk.do
run ref_repeated.do
run mkdata.do
quietly mk_repeated1
anova y a / subj|a b a*b if c == 1, repeated(b)
scalar r_p_gg_b = Ftail(e(gg_3)*e(df_3), e(gg_3)*e(df_r), e(F_3))
scalar r_p_gg_ab = Ftail(e(gg_4)*e(df_4), e(gg_4)*e(df_r), e(F_4))
scalar r_p_hf_b = Ftail(e(hf_3)*e(df_3), e(hf_3)*e(df_r), e(F_3))
scalar r_p_box_ab = Ftail(e(box_4)*e(df_4), e(box_4)*e(df_r), e(F_4))
ref_split
display e(eterm_1) " " e(eterm_2) " " e(eterm_3) " " e(F_2) " " e(bse) " " e(groupvars) " " e(repset_4)
anova
* the error term's test of a agrees with the ratio of mean squares
assert reldif(e(F_1), (e(ss_1)/e(df_1)) / (e(ss_2)/e(df_2))) < 1e-12
* subjects coded uniquely: subj alone is the between-subjects term
anova y subj b if c == 1, repeated(b)
ref_onegroup
anova y subj b c b*c, repeated(b c)
ref_two
* error terms without repeated(): a against subj|a
anova y a / subj|a b a*b / subj*b|a if c == 2
assert e(F_3) == (e(ss_3)/e(df_3)) / (e(ss_5)/e(df_5))
assert e(F_5) == .
* bad input: the data stay as they were
datasignature
local sig `r(datasignature)'
cap noi anova y subj a b if c == 1, repeated(b a)
display _rc
cap noi anova y subj b, repeated(b)
display _rc
cap noi anova y subj b if c == 1, repeated(x)
display _rc
cap noi anova y subj b if c == 1, repeated(c)
display _rc
cap noi anova y subj b if c == 1 & !(subj == 3 & b == 2), repeated(b)
display _rc
cap noi anova y subj b if c == 1 [fw=b], repeated(b)
display _rc
cap noi anova y / subj b
display _rc
cap noi anova y a / / subj b
display _rc
cap noi anova y b, repeated(b)
display _rc
cap noi anova y subj b if c == 1, repeated(b) continuous(b) category(subj)
display _rc
cap noi anova, repeated(b)
display _rc
cap noi manova y b = a / subj
display _rc
datasignature
assert "`r(datasignature)'" == "`sig'"
