* histogram: bins closed on the left, the maximum in the last one, counted as
* numpy counts them (gen_histogram.py made the data files and the counts), and
* the bars read back from the SVG picture have the heights of those counts in
* the unit asked for.
program checkbins
	* the counts of r(bins) against the independent ones
	args want
	matrix got = r(bins)
	assert rowsof(got) == rowsof(`want') & r(N_bins) == rowsof(`want')
	forvalues j = 1/`=rowsof(`want')' {
		assert got[`j', 3] == `want'[`j', 1]
		assert reldif(got[`j', 1], r(start) + (`j' - 1) * r(width)) < 1e-12
	}
end
program checkbars
	* the bars of the picture: one per non-empty bin, over its edges, as high as its
	* count times scale (all within a thousandth of the tallest bar)
	args svg scale horizontal
	local start = r(start)
	local w = r(width)
	matrix bins = r(bins)
	local nz 0
	local top 0
	forvalues j = 1/`=rowsof(bins)' {
		local nz = `nz' + (bins[`j', 3] > 0)
		local top = max(`top', bins[`j', 3] * `scale')
	}
	graph export `svg', replace
	shell /usr/bin/python3 svgcheck.py bars `svg' bars.csv
	preserve
	quietly insheet using bars.csv, clear
	if "`horizontal'" != "" {
		rename x0 h0
		rename x1 h1
		rename y0 e0
		rename y1 e1
	}
	else {
		rename x0 e0
		rename x1 e1
		rename y0 h0
		rename y1 h1
	}
	assert _N == `nz'
	quietly gen j = round((e0 - `start') / `w') + 1
	quietly gen want = el(bins, j, 3) * `scale'
	quietly gen err = max(abs(h1 - want), abs(h0), abs(e1 - e0 - `w') * `top' / `w')
	quietly summarize err
	assert r(max) < 1e-3 * `top'
	di "bars: " _N ", within a thousandth of the tallest"
	restore
end

clear
insheet using hist_x.csv
matrix sturges = (3 \ 13 \ 34 \ 46 \ 29 \ 18 \ 31 \ 23 \ 3)
matrix width = (0 \ 3 \ 4 \ 9 \ 17 \ 33 \ 30 \ 24 \ 12 \ 11 \ 20 \ 22 \ 12 \ 2 \ 1)
matrix discrete = (12 \ 20 \ 34 \ 17 \ 17 \ 13 \ 6 \ 2 \ 1)

* Sturges: ceil(log2 200) + 1 = 9 bins of 0.75 from the minimum; many values sit on edges
histogram x, frequency
return list
matrix list r(bins)
checkbins sturges
checkbars h1.svg 1

* density (the default): the bars' areas add up to 1
histogram x, normal kdens title("Density")
checkbins sturges
local sc = 1 / (200 * r(width))
checkbars h2.svg `sc'
* the curves pass through the normal density of the data's mean and standard
* deviation (101 points) and through the points of kdens's estimate (100)
quietly summarize x
local m = r(mean)
local s = r(sd)
kdens x, nograph generate(kx kd) n(100)
sort kx
forvalues i = 1/100 {
	local kx`i' = kx[`i']
	local kd`i' = kd[`i']
}
shell /usr/bin/python3 svgcheck.py lines h2.svg lines.csv
preserve
quietly insheet using lines.csv, clear
bysort color: gen n = _N
quietly keep if n == 101
quietly gen err = abs(y - normalden((x - `m') / `s') / `s')
summarize err, meanonly
assert _N == 101 & r(max) < 1e-3 * .4
di "normal: " _N " points on the curve"
restore, preserve
quietly insheet using lines.csv, clear
bysort color: gen n = _N
quietly keep if n == 100
sort x
quietly gen err = 0
forvalues i = 1/100 {
	quietly replace err = max(abs(x - `kx`i''), abs(y - `kd`i'')) in `i'
}
summarize err, meanonly
assert _N == 100 & r(max) < 1e-3 * .4
di "kdens: " _N " points on the estimate"
restore
drop kx kd

* width() and start(): the maximum, 4.5, lies on the last edge and falls in the last bin
histogram x, width(0.5) start(-3) percent addlabels
checkbins width
di r(start) " " r(width) " " r(N_bins)
checkbars h3.svg 0.5

* horizontal bars and a fraction
histogram x, bin(9) fraction horizontal
checkbins sturges
checkbars h4.svg 0.005 horizontal

* discrete values with frequency weights: one bin per value, centred on it
clear
insheet using hist_c.csv
histogram c [fw = fw], discrete frequency
checkbins discrete
di r(start) " " r(width) " " r(N)
checkbars h5.svg 1

* aweights count in the same way, scaled to the number of observations
histogram c [aw = fw], discrete frequency
matrix list r(bins)
histogram c if c > 100
di r(N) " " r(N_bins)
graph export h6.svg
shell /usr/bin/python3 svgcheck.py bounds h6.svg

* bad input
gen str3 s = "a"
cap noi histogram s
di _rc
cap noi histogram c, bin(0)
di _rc
cap noi histogram c, bin(-2)
di _rc
cap noi histogram c, bin(2.5)
di _rc
cap noi histogram c, width(0)
di _rc
cap noi histogram c, width(abc)
di _rc
cap noi histogram c, bin(3) width(1)
di _rc
cap noi histogram c, start(5)
di _rc
cap noi histogram c, density percent
di _rc
cap noi histogram c, color(puce)
di _rc

* every value the same: one bin of width 1 centred on it; no density to estimate
clear
set obs 5
gen k = 3
histogram k
matrix list r(bins)
cap noi histogram k, kdens
di _rc
cap noi histogram k, normal
di _rc
