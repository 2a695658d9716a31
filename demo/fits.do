* Fitted lines and panels by group, drawn by overlay from the example data:
* the least-squares line with its confidence band, a quadratic and a lowess
* smooth over the scatter, then one panel per region with the lowess line.
use people, example clear
overlay (scatter lnwage age, size(0.5) color(gray)) (linfitci lnwage age) (quadfit lnwage age) /*
	*/ (lowessline lnwage age, linepattern(dash)), title("Log wage by age") legend(right)
graph export demo_fits.png, replace
overlay (scatter lnwage age, size(0.5)) (lowessline lnwage age, linecolor(maroon)), by(region) /*
	*/ title("Log wage by age, by region") legend(off)
graph export demo_byregion.png, replace
