* barchart and dotchart: the bars and dots read back from the SVG picture sit at
* the statistics they show, computed here group by group with summarize; two
* over() groupings, stacked and sideways bars, blabel, and bad input.
program checkbars
	* the bars in order along the category axis (stacked ones from the bottom)
	* against the rows lo, hi of matrix want, within a thousandth of the largest
	args svg want horizontal
	graph export `svg', replace
	shell /usr/bin/python3 svgcheck.py bars `svg' bars.csv
	preserve
	quietly insheet using bars.csv, clear
	if "`horizontal'" != "" {
		quietly gen c = y0
		quietly gen v0 = x0
		quietly gen v1 = x1
	}
	else {
		quietly gen c = x0
		quietly gen v0 = y0
		quietly gen v1 = y1
	}
	sort c v0
	assert _N == rowsof(`want')
	local top 0
	forvalues i = 1/`=rowsof(`want')' {
		local top = max(`top', abs(`want'[`i', 1]), abs(`want'[`i', 2]))
	}
	quietly gen err = max(abs(v0 - el(`want', _n, 1)), abs(v1 - el(`want', _n, 2)))
	quietly summarize err
	assert r(max) < 1e-3 * `top'
	di "bars: " _N ", within a thousandth of the largest value"
	restore
end

use people, example clear
* means by region: one bar per group
barchart (mean) lnwage, over(region)
matrix list r(stats)
matrix want = J(4, 2, 0)
forvalues g = 1/4 {
	quietly summarize lnwage if region == `g'
	matrix want[`g', 2] = r(mean)
}
checkbars b1.svg want

* sums of two variables by sex within region: the first over() is the outer group
barchart (sum) hours educ, over(sex) over(region) blabel title("Hours and schooling")
matrix want = J(16, 2, 0)
local i 0
forvalues s = 0/1 {
	forvalues g = 1/4 {
		foreach v in hours educ {
			local i = `i' + 1
			quietly summarize `v' if sex == `s' & region == `g'
			matrix want[`i', 2] = r(sum)
		}
	}
}
checkbars b2.svg want

* counts stacked, sideways: each bar of a group starts where the one before ends
gen mwage = lnwage if educ > 12
barchart (count) lnwage mwage, over(region) stack horizontal
matrix want = J(8, 2, 0)
forvalues g = 1/4 {
	quietly count if region == `g' & lnwage < .
	local a = r(N)
	quietly count if region == `g' & mwage < .
	matrix want[2 * `g' - 1, 2] = `a'
	matrix want[2 * `g', 1] = `a'
	matrix want[2 * `g', 2] = `a' + r(N)
}
checkbars b3.svg want horizontal

* a percentile, and values below zero: those bars hang down from zero
gen dev = lnwage - 3
label variable dev "log wage less 3"
barchart (p25) dev lnwage, over(sex) blabel
matrix want = J(4, 2, 0)
local i 0
forvalues s = 0/1 {
	foreach v in dev lnwage {
		local i = `i' + 1
		quietly summarize `v' if sex == `s', detail
		matrix want[`i', 1] = min(0, r(p25))
		matrix want[`i', 2] = max(0, r(p25))
	}
}
matrix list want
checkbars b4.svg want

* no over(): one group, a bar per variable side by side, weighted
barchart hours educ [aw = age]
matrix want = J(2, 2, 0)
quietly summarize hours [aw = age]
matrix want[1, 2] = r(mean)
quietly summarize educ [aw = age]
matrix want[2, 2] = r(mean)
checkbars b5.svg want

* dots at the medians, one colour per variable
dotchart (median) lnwage dev, over(region)
graph export d1.svg
shell /usr/bin/python3 svgcheck.py dots d1.svg dots.csv
matrix want = J(8, 1, 0)
forvalues g = 1/4 {
	quietly summarize lnwage if region == `g', detail
	matrix want[2 * `g' - 1, 1] = r(p50)
	quietly summarize dev if region == `g', detail
	matrix want[2 * `g', 1] = r(p50)
}
preserve
quietly insheet using dots.csv, clear
* within a group the dots share a position: the larger value first
gen neg = -y
sort x neg
assert _N == 8
gen err = abs(y - el(want, _n, 1))
summarize err, meanonly
assert r(max) < 1e-3 * 3
restore
dotchart lnwage, over(sex) over(region) horizontal
graph export d2.svg
shell /usr/bin/python3 svgcheck.py bounds d2.svg

* 47 groups: only every few labels are written, whole and apart
barchart lnwage, over(age)
graph export b6.svg
shell /usr/bin/python3 svgcheck.py bounds b6.svg
shell grep -c ">18<\|>20<\|>64<" b6.svg
barchart lnwage, over(age) horizontal
graph export b7.svg
shell /usr/bin/python3 svgcheck.py bounds b7.svg

* labels of wide letters are measured in the font, not counted: category
* labels are cut to their slots, legend keys and y labels make room, in every
* kind of chart, vertical and horizontal
preserve
drop _all
set obs 60
gen g = 1 + mod(_n, 6)
gen double a = _n
gen double b = 2 * _n
label define wide 1 "WWWWWWWWWWWWWWWW one" 2 "MMMMMMMMMMMMMMMM two" 3 "WWWWWWWWWWWWWWW three" /*
	*/ 4 "MMMMMMMMMMMMMM four" 5 "WWWWWWWWWWWWW five" 6 "MMMMMMMMMMMM six"
label values g wide
label variable a "WWWW MMMM WWWW MMMM WWWW"
label variable b "MMMM WWWW MMMM WWWW MMMM"
local k 0
foreach c in "barchart a b, over(g)" "barchart a, over(g) horizontal" "dotchart a b, over(g) horizontal" /*
	*/ "piechart (sum) a, over(g)" "boxplot a b, over(g)" {
	local ++k
	`c'
	quietly graph export w`k'.svg
	shell /usr/bin/python3 svgcheck.py bounds w`k'.svg
}
restore

* labels of two-byte letters too wide for their slots are cut between letters,
* never inside one (a split letter would be written as a stray byte, which the
* picture shows as another letter: none of them in the file), and still fit
preserve
drop _all
set obs 60
gen g = 1 + mod(_n, 6)
gen double a = _n
label define two 1 "ÄÖÜÄÖÜÄÖÜÄÖÜÄÖÜÄÖÜ eins" 2 "ÖÜÄÖÜÄÖÜÄÖÜÄÖÜÄÖÜÄ zwei" 3 "ÜÄÖÜÄÖÜÄÖÜÄÖÜÄÖ drei" /*
	*/ 4 "ÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄ vier" 5 "ÖÖÖÖÖÖÖÖÖÖÖÖÖÖÖ fünf" 6 "ÜÜÜÜÜÜÜÜÜÜÜÜÜÜÜÜ sechs"
label values g two
barchart a, over(g)
quietly graph export u1.svg
shell /usr/bin/python3 svgcheck.py bounds u1.svg
shell grep -c "eins<\|zwei<\|drei<\|vier<\|fünf<\|sechs<" u1.svg
shell grep -c "Ã\|Â" u1.svg
restore

* nothing to draw: empty axes, a note and return code 0
barchart lnwage if lnwage > 100, over(region)
di r(N) " " r(N_groups)
dotchart lnwage if lnwage > 100
di r(N) " " r(N_groups)

* bad input
gen str5 s = "a"
cap noi barchart s
di _rc
cap noi barchart lnwage, over(nosuch)
di _rc
cap noi barchart (mode) lnwage
di _rc
cap noi barchart (p0) lnwage
di _rc
cap noi barchart lnwage, over(sex) over(region) over(age)
di _rc
cap noi dotchart lnwage, stack
di _rc
cap noi barchart lnwage, color(puce)
di _rc
cap noi barchart lnwage, over(id)
di _rc
