* lowess against independent references (gen_lowess.R, whose values are in
* lowess1.csv): the default and a narrow bandwidth, the running mean,
* no weights, adjust and logit, stored results, bad input.
insheet using lowess1.csv, clear
program define near
	args a b
	quietly count if `b' < . & !(abs(`a' - `b') <= 1e-6 * abs(`b') + 1e-12)
	if r(N) {
		display as error "`a' differs from `b' at " r(N) " points"
		exit 9
	}
	quietly count if `b' < .
	display as text "`a' matches `b' at " r(N) " points"
end
lowess y x, generate(s_def) nograph
return list
near s_def r_def
lowess y x, bwidth(.3) generate(s_3) nograph
near s_3 r_3
lowess y x, bwidth(.3) mean generate(s_mean) nograph
near s_mean r_mean
lowess y x, bwidth(.3) noweight generate(s_now) nograph
near s_now r_now
lowess y x, bwidth(.5) mean noweight generate(s_nowm) nograph
near s_nowm r_nowm
* adjust: the smooth's mean is y's; logit: the logit of the adjusted smooth
gen p = (y + 2) / 5
lowess p x, bwidth(.3) adjust generate(s_adj) nograph
summarize p s_adj
quietly summarize p
local mp = r(mean)
quietly summarize s_adj
assert reldif(r(mean), `mp') < 1e-12
lowess p x, bwidth(.3) logit generate(s_lgt) nograph
assert reldif(s_lgt, ln(s_adj / (1 - s_adj))) < 1e-12
* the graph
lowess y x, bwidth(.3) saving(lw.gph, replace)
* bad input: the data stay as they were
drop s_* p
datasignature
local sig `r(datasignature)'
cap noi lowess y x, bwidth(0) nograph
display _rc
cap noi lowess y x, bwidth(1.5) nograph
display _rc
cap noi lowess y, nograph
display _rc
cap noi lowess y x, generate(x) nograph
display _rc
cap noi lowess y x if x > 100, nograph
display _rc
gen str2 s = "a"
cap noi lowess s x, nograph
display _rc
drop s
datasignature
assert "`r(datasignature)'" == "`sig'"
