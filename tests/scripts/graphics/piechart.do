* piechart: the slices read back from the SVG picture (their angles over 360)
* are each group's share of the total, found here with summarize; sums, counts
* and means, a string group variable, and bad input.
program checkpie
	* the slices in drawing order against the shares in column 1 of matrix want
	args svg want
	graph export `svg', replace
	shell /usr/bin/python3 svgcheck.py pie `svg' pie.csv
	preserve
	quietly insheet using pie.csv, clear
	assert _N == rowsof(`want')
	quietly gen err = abs(share - el(`want', _n, 1))
	quietly summarize err
	assert r(max) < 1e-3
	di "slices: " _N ", each within a thousandth of its share"
	restore
end

use people, example clear
* total hours by region
piechart (sum) hours, over(region) percent
matrix list r(stats)
quietly summarize hours
local tot = r(sum)
matrix want = J(4, 1, 0)
forvalues g = 1/4 {
	quietly summarize hours if region == `g'
	matrix want[`g', 1] = r(sum) / `tot'
}
checkpie p1.svg want

* counts: women by schooling, the groups named by a value label
gen school = cond(educ < 10, 1, cond(educ < 13, 2, cond(educ < 16, 3, 4)))
label define school 1 "under 10" 2 "10-12" 3 "13-15" 4 "16 and more"
label values school school
piechart (count) educ if sex == 1, over(school) title("Women by schooling")
matrix want = J(4, 1, 0)
quietly count if sex == 1
local n = r(N)
forvalues g = 1/4 {
	quietly count if sex == 1 & school == `g'
	matrix want[`g', 1] = r(N) / `n'
}
checkpie p2.svg want

* means of a string group variable, weighted
gen str5 half = cond(age < 40, "young", "older")
piechart (mean) hours [fw = educ], over(half) color(teal khaki)
matrix list r(stats)
quietly summarize hours [fw = educ] if half == "older"
local a = r(mean)
quietly summarize hours [fw = educ] if half == "young"
matrix want = (`a' \ r(mean))
matrix want = want / (`a' + r(mean))
checkpie p3.svg want

* one group holds everything (the sum is the default statistic)
piechart hours if region == 3, over(region)
matrix want = (1)
checkpie p4.svg want

* percentages of many thin slices beside a large one: measured, they fit the
* page and none is written over another (thin ones that would be are left out)
preserve
drop _all
set obs 40
gen g = _n
gen double v = cond(_n == 1, 400, 1 + mod(_n, 3))
piechart (sum) v, over(g) percent
quietly graph export p6.svg
shell /usr/bin/python3 svgcheck.py bounds p6.svg
shell grep -c "%<" p6.svg
restore

* nothing to share out: an empty picture, a note and return code 0
piechart (sum) hours if hours > 1000, over(region)
di r(N) " " r(total)
piechart (sum) hours if region == 9, over(region)
graph export p5.svg
shell /usr/bin/python3 svgcheck.py bounds p5.svg

* bad input
gen neg = -hours
cap noi piechart neg, over(region)
di _rc
gen str5 s = "a"
cap noi piechart s, over(region)
di _rc
cap noi piechart hours
di _rc
cap noi piechart (median) hours, over(region)
di _rc
cap noi piechart hours, over(id)
di _rc
