* Charts in batch mode: one picture of each kind from the example data,
* exported as chart_histogram.png, chart_bars.png, chart_dots.png,
* chart_pie.png and chart_boxes.png in the working directory.
use people, example clear
histogram lnwage, normal kdens title("Log hourly wage") subtitle("bars: density; lines: normal and kernel density")
graph export chart_histogram.png, width(600) replace
barchart (mean) hours educ, over(sex) over(region) blabel title("Mean hours and schooling by region")
graph export chart_bars.png, width(600) replace
dotchart (median) lnwage, over(sex) over(region) horizontal title("Median log wage")
graph export chart_dots.png, width(600) replace
gen school = cond(educ < 10, 1, cond(educ < 13, 2, cond(educ < 16, 3, 4)))
label define school 1 "under 10 years" 2 "10 to 12" 3 "13 to 15" 4 "16 and more"
label values school school
piechart (count) id, over(school) percent title("People by years of schooling")
graph export chart_pie.png, width(600) replace
boxplot lnwage, over(region) title("Log hourly wage by region")
graph export chart_boxes.png, width(600) replace
