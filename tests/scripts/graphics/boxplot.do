* boxplot: the boxes read back from the SVG picture run from the 25th to the
* 75th percentile of summarize, detail with the median across; the whiskers end
* at the last values within 1.5 interquartile ranges; the values beyond are
* markers. Groups, several variables, sideways boxes, and bad input.
program want
	* the numbers of one box, found here with summarize and count, as a row
	* pos p25 p50 p75 wlo whi nout appended to matrix W (pos is filled later)
	args v cond
	quietly summarize `v' if `cond', detail
	local q1 = r(p25)
	local q2 = r(p50)
	local q3 = r(p75)
	local iqr = `q3' - `q1'
	quietly summarize `v' if `cond' & `v' >= `q1' - 1.5 * `iqr', meanonly
	local lo = r(min)
	quietly summarize `v' if `cond' & `v' <= `q3' + 1.5 * `iqr' & `v' < ., meanonly
	local hi = r(max)
	quietly count if `cond' & (`v' < `lo' | (`v' > `hi' & `v' < .))
	matrix W = nullmat(W) \ (0, `q1', `q2', `q3', `lo', `hi', r(N))
end
program checkboxes
	* the boxes of the picture, in order along the category axis, against W
	* (values within a thousandth of the axis span; markers counted exactly)
	args svg mode span
	graph export `svg', replace
	shell /usr/bin/python3 svgcheck.py `mode' `svg' boxes.csv
	preserve
	quietly insheet using boxes.csv, clear
	* pos is down the page for sideways boxes: the first box is at the top
	sort pos
	assert _N == rowsof(W)
	local i 0
	quietly gen err = 0
	foreach c in p25 p50 p75 wlo whi {
		local i = `i' + 1
		quietly replace err = max(err, abs(`c' - el(W, _n, `i' + 1)))
	}
	quietly summarize err
	assert r(max) < 1e-3 * `span'
	di "boxes: " _N ", within a thousandth of the axis"
	forvalues b = 1/`=_N' {
		assert nout[`b'] == W[`b', 7]
	}
	restore
end

use people, example clear
* log wages by region
boxplot lnwage, over(region)
matrix list r(boxes)
capture matrix drop W
forvalues g = 1/4 {
	want lnwage "region == `g'"
}
matrix list W
checkboxes bx1.svg boxes 3

* several variables, each its own box
boxplot hours educ age, title("Hours, schooling and age")
matrix drop W
foreach v in hours educ age {
	want `v' 1
}
checkboxes bx2.svg boxes 80

* sideways, two variables in each group, a group with missing values
gen dev = lnwage - 3
replace dev = . if region == 2
boxplot lnwage dev, over(region) horizontal
matrix drop W
forvalues g = 1/4 {
	want lnwage "region == `g'"
	if `g' != 2 {
		want dev "region == `g'"
	}
}
checkboxes bx3.svg hboxes 6

* nooutsides: no markers, and the axis spans the whiskers only
boxplot lnwage if region == 1, nooutsides
matrix W = r(boxes)
graph export bx4.svg
shell /usr/bin/python3 svgcheck.py boxes bx4.svg bx4.csv
preserve
quietly insheet using bx4.csv, clear
assert nout == 0 & abs(wlo - W[1, 7]) < 3e-3 & abs(whi - W[1, 8]) < 3e-3
restore
di W[1, 7] " " W[1, 8]

* a string group variable
gen str5 rname = cond(region < 3, "inner", "outer")
boxplot educ, over(rname)
matrix list r(boxes)

* nothing to draw: empty axes, a note and return code 0
boxplot lnwage if lnwage > 100, over(region)
di r(N) " " r(N_groups)
graph export bx5.svg
shell /usr/bin/python3 svgcheck.py bounds bx5.svg

* bad input
gen str5 s = "a"
cap noi boxplot s
di _rc
cap noi boxplot lnwage, over(nosuch)
di _rc
cap noi boxplot lnwage, over(region sex)
di _rc
cap noi boxplot lnwage, over(id)
di _rc
cap noi boxplot lnwage, outsides(no)
di _rc
