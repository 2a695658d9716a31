* overlay's fitted lines, shapes and graph options: what they leave behind
* (estimates, sort order, series sets), the gdi calls they draw with, and the
* messages and codes of bad input. The pictures themselves are measured by
* tests/picture/overlay_picture.py.
clear
set obs 12
gen double x = _n
gen double y = 1 + 0.5 * x + mod(_n, 3)
gen double lo = y - 1
gen double hi = y + 1
gen g = mod(_n, 2)
gen str3 s = "a"
label define gl 0 "even" 1 "odd"
label values g gl
* the user's estimates and sort order are kept
quietly regress y x if x > 3
local b = _b[x]
sort g x
overlay (scatter y x) (linfit y x) (quadfit y x) (linfitci y x, level(90)) (lowessline y x), by(g)
di _b[x] == `b' " " e(N)
di "`: sortedby'"
list x g in 1/3, noobs
serset dir
* every kind of plot and graph option together
overlay (area y x) (bar y x, base(1) barwidth(0.5)) (rcap lo hi x, capwidth(2)) /*
	*/ (kdensline y, n(20) bwidth(1)) (function f = 2 + sin(x), n(50)) /*
	*/ (scatter y x, labels(s) labelpos(9)), xlog ylog xrange(1 20) yrange(1 10) /*
	*/ xticks(1 2 5 10 20) yticks(1 3 10) xline(4) yline(5) text(8 3 "peak" 2 2 "low") /*
	*/ aspect(0.8) legend(top)
overlay (scatter y x, labels(g) labelpos(0)) (line y x), xticks(2(2)12) yticks(0 5 10) legend(left) name(tick)
* long marker labels right of their markers stay on the page, clear of the
* others: near the right edge they turn to the markers' left
gen str30 lab = "a rather long marker label " + string(x)
overlay (scatter x x if x > 6, labels(lab) labelpos(3))
graph export labels.svg, replace
shell /usr/bin/python3 svgcheck.py labels.svg > out.txt
type out.txt
* the gdi calls of the shapes: a band, an area, bars and capped ranges, clipped
sort x
gen double c = x - 5.5
serset create c
serset summarize 1
di r(min) " " r(max)
serset summarize 1 positive
di r(min) " " r(max)
cap noi serset summarize 1 negative
di _rc
serset drop
serset create y lo hi x
local id = r(id)
gdi init 6 4 255 255 255
gdi xbeta = 1000
gdi ybeta = 1000
gdi clip 2000 0 9000 20000
gdi scatterband `id' 4 2 3
gdi scatterarea `id' 4 1 0
gdi scatterbar `id' 4 1 0 0.5
gdi scatterrcap `id' 4 2 3 200
gdi scatterline `id' 4 1
gdi clip
cap noi gdi scatterbar `id' 4 1 0 0
di _rc
gdi end
graph dump, nohex
serset drop `id'
* bad input
cap noi overlay (scatter s x)
di _rc
cap noi overlay (linfit y x lo)
di _rc
cap noi overlay (linfitci y x, level(101))
di _rc
cap noi overlay (lowessline y x, bwidth(2))
di _rc
cap noi overlay (kdensline s)
di _rc
cap noi overlay (kdensline y, bwidth(-1))
di _rc
cap noi overlay (function y = x^2, range(3 1))
di _rc
cap noi overlay (function y = x + nosuch, range(0 1))
di _rc
cap noi overlay (bar y x, barwidth(-1))
di _rc
cap noi overlay (rcap lo x)
di _rc
cap noi overlay (scatter y x, labels(nosuch))
di _rc
cap noi overlay (scatter y x, labels(s) labelpos(13))
di _rc
cap noi overlay (scatter y x), xrange(5 1)
di _rc
cap noi overlay (scatter y x), xlog xrange(0 10)
di _rc
cap noi overlay (scatter y x), ylog yticks(-1 1)
di _rc
cap noi overlay (scatter y x), aspect(-1)
di _rc
cap noi overlay (scatter y x), legend(middle)
di _rc
cap noi overlay (scatter y x), text(1 2)
di _rc
cap noi overlay (scatter y x), xline(a)
di _rc
cap noi overlay (scatter y x), by(s nosuch)
di _rc
cap noi overlay (scatter y x, color("300 0 0"))
di _rc
* more than 100 groups: a message and 134, the data as they were
set obs 150
replace x = _n
sort y
gen long n0 = _n
cap noi overlay (scatter y x), by(x)
di _rc
assert n0 == _n
di "`: sortedby'"
* a failure while the sets are made puts the order back too
gen k = mod(_n, 3)
cap noi overlay (scatter y x) (kdensline y, kernel(nosuch)), by(k)
di _rc
assert n0 == _n
di "`: sortedby'"
serset dir
* exactly 100 groups still draw, in a grid of 10 by 10
scatter y x if x <= 100, by(x)

* no observations: empty axes, no error
overlay (scatter y x if x > 1000) (linfit y x if x > 1000)
serset dir
