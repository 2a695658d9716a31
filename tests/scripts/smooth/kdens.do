* kdens against independent references (gen_kdens.py, whose values are in
* kdens1.csv): each kernel at given points, weights, the grid of n() points,
* the default bandwidth, stored results, bad input.
insheet using kdens1.csv, clear
program define near
	args a b
	quietly count if `b' < . & !(abs(`a' - `b') <= 1e-6 * abs(`b') + 1e-15)
	if r(N) {
		display as error "`a' differs from `b' at " r(N) " points"
		exit 9
	}
	quietly count if `b' < .
	display as text "`a' matches `b' at " r(N) " points"
end
foreach k in epanechnikov gaussian biweight triangle rectangle cosine parzen {
	local s = substr("`k'", 1, 4)
	kdens x, at(t) generate(d_`s') kernel(`k') bwidth(.37) nograph
	near d_`s' r_`s'
}
kdens x, at(t) generate(d_last) bwidth(.37) nograph
return list
kdens x [fw=w], at(t) generate(dw_epan) bwidth(.37) nograph
near dw_epan rw_epan
kdens x [aw=w], at(t) generate(dw_gaus) bwidth(.37) kernel(gau) nograph
near dw_gaus rw_gaus
kdens x, n(25) generate(px pd) kernel(gaussian) bwidth(.37) nograph
display r(n) " " r(N) " " r(kernel) " " r(bwidth)
near px gx
near pd gd
kdens x, n(25) generate(qx qd) bwidth(.37) nograph
near qd gde
kdens x [fw=w], n(25) generate(bx bd) kernel(biw) bwidth(.37) nograph
near bd gdb
* the default bandwidth: 0.9 min(sd, IQR/1.349) N^(-1/5) from summarize's percentiles
quietly summarize x, detail
local h = 0.9 * min(r(sd), (r(p75) - r(p25)) / 1.349) * r(N)^(-0.2)
kdens x, nograph
assert reldif(r(bwidth), `h') < 1e-12
display r(bwidth) " " r(n)
quietly summarize x [fw=w], detail
local h = 0.9 * min(r(sd), (r(p75) - r(p25)) / 1.349) * r(N)^(-0.2)
kdens x [fw=w], nograph
assert reldif(r(bwidth), `h') < 1e-12
display r(N)
* the n() grid's one-pass sums against the exact sums of at() at the same
* points (one point more, so that at() is not the grid), for each kernel
* the grid serves, with a gap of 20 bandwidths where the density is tiny
preserve
clear
set obs 200
gen double x = mod(_n*7919, 200)/100 + 8*(_n > 190)
foreach k in triangle parzen gaussian epanechnikov biweight {
	local s = substr("`k'", 1, 4)
	kdens x, n(60) generate(gx_`s' gd_`s') kernel(`k') bwidth(.3) nograph
	gen double ax_`s' = gx_`s'
	quietly replace ax_`s' = gx_`s'[1] in 61
	kdens x, at(ax_`s') generate(ad_`s') kernel(`k') bwidth(.3) nograph
	assert abs(gd_`s' - ad_`s') <= 1e-9 * ad_`s' + 1e-300 in 1/60
	count if gd_`s' < 1e-10 in 1/60
}
restore
* the graph, with the normal overlay
kdens x, normal bwidth(.37) saving(kd.gph, replace)
* bad input: the data stay as they were
drop d_* dw_* px pd qx qd bx bd
datasignature
local sig `r(datasignature)'
cap noi kdens x, kernel(box) nograph
display _rc
cap noi kdens x, bwidth(-1) nograph
display _rc
cap noi kdens x, n(1000) nograph
display _rc
cap noi kdens x, n(1) nograph
display _rc
cap noi kdens x, generate(a) nograph
display _rc
cap noi kdens x, generate(x d) nograph
display _rc
cap noi kdens x, at(t) n(10) nograph
display _rc
cap noi kdens x if x > 100, nograph
display _rc
cap noi kdens x [pw=w], nograph
display _rc
gen str2 s = "a"
cap noi kdens s, nograph
display _rc
drop s
gen c = 1
cap noi kdens c, nograph
display _rc
drop c
datasignature
assert "`r(datasignature)'" == "`sig'"
