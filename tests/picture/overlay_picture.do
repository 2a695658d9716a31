* Pictures for overlay_picture.py: each graph is exported as SVG and measured
* there (fitted lines against an independent fit, markers at their data,
* log axes, panels of by(), everything inside the page and the plot region).
* The data are formulas the checker computes again on its own.
clear
set obs 40
gen double x = _n / 4
gen double y = 2 + 0.5 * x + 1.5 * sin(x)
gen double w = exp(x / 2)
gen g = mod(_n, 5)
gen str5 s = "all"
label define grp 0 "zero" 1 "one" 2 "two" 3 "three" 4 "four"
label values g grp
* the same smooths through the commands of their own, for the checker
lowess y x, generate(ls) nograph
kdens y, generate(kx kd) n(40) nograph
outsheet x y ls kx kd using smooth.csv, comma replace
overlay (scatter y x, color("0 0 255")) (linfit y x, linecolor("255 0 0")) /*
	*/ (quadfit y x, linecolor("0 160 0"))
graph export fit.svg, replace
overlay (linfitci y x, color("200 0 200") linecolor("255 0 0"))
graph export ci.svg, replace
overlay (linfitci y x, level(90) color("200 0 200") linecolor("255 0 0"))
graph export ci90.svg, replace
overlay (scatter y x, color("0 0 255")) (lowessline y x, linecolor("255 0 0"))
graph export lowess.svg, replace
overlay (kdensline y, n(40) linecolor("255 0 0"))
graph export kdens.svg, replace
overlay (function f = 10 * exp(-x / 3), range(0 10) linecolor("255 0 0"))
graph export function.svg, replace
scatter w x, ylog color("0 0 255")
graph export ylog.svg, replace
scatter w y, xlog ylog color("0 0 255")
graph export xylog.svg, replace
scatter y x, by(g) color("0 0 255")
graph export by.svg, replace
overlay (line y x, linecolor("255 0 0")) (scatter y x, color("0 0 255")), xrange(2 6) yrange(1 4) legend(off)
graph export clip.svg, replace
gen double lo = y - 1
gen double hi = y + 1
overlay (bar y x if x <= 5, color("0 0 255")) (rcap lo hi x if x <= 5, linecolor("255 0 0")), /*
	*/ text(6 1 "note") yline(3) aspect(1)
graph export bar.svg, replace
overlay (area y x, color("0 0 255")) (scatter y x, labels(g) labelpos(12) color("255 0 0")), legend(right)
graph export area.svg, replace
scatter y g, xticks(0(1)4) xline(2) by(s)
graph export ticks.svg, replace
gen double y1 = y + 1
gen double y2 = y - 1
gen double y3 = y + 2
gen double y4 = y + 3
overlay (scatter y x if x <= 5, symbol(diamond) size(2) color("0 0 255")) /*
	*/ (scatter y1 y2 y3 y4 x if x <= 5, symbol(x square square x) size(1 1 0.5 2) /*
	*/ color("255 0 0" "0 160 0" "255 0 255" "255 160 0")), yticks(1 2.5 4 5.5) legend(off)
graph export symbols.svg, replace
