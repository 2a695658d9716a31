* The user-level graph commands: scatter, line and overlay draw through gdi
* from series sets, with nice axis ticks in the variables' display formats,
* titles, a legend, and the graph kept, named, saved and exported.
clear
set obs 11
gen x = (_n - 1) / 2
gen y = 1 + (x - 2.5)^2 / 2
gen z = 10 - x
format y %4.1f
label variable x "Dose (mg)"
label variable y "Response"
_natscale 0 5 5
di r(min) " " r(max) " " r(delta) " " r(nticks)
_natscale 0.13 9.7 5
di r(min) " " r(max) " " r(delta) " " r(nticks)
_natscale -3.2 187 4
di r(min) " " r(max) " " r(delta) " " r(nticks)
_natscale 7 7 5
di r(min) " " r(max) " " r(delta) " " r(nticks)
_tsnatscale 1990 1993 10
di r(min) " " r(max) " " r(delta) " " r(nticks)
scatter y x, title("Dose and response") xtitle("Dose") symbol(diamond) color(maroon)
graph dump, nohex
* no series sets are left behind
serset dir
line y x if x > 1, linepattern(dash) linecolor("0 0 0") saving(curve, replace)
graph use curve
overlay (scatter y x) (line z x, linewidth(3)), legend(on) note("a note") name(both)
graph dir
graph export both.png
graph export both.svg
* one list entry per series; the last entry serves the series past the list
gen w = 8 - x
scatter y z w x, symbol(square triangle) color("0 0 0" maroon) size(2 0.5) connect linecolor(teal) linepattern(dot dash) linewidth(1 2 3) name(lists)
graph dump, nohex
* errors
cap noi overlay
di _rc
cap noi overlay (pie y x)
di _rc
cap noi overlay y x
di _rc
cap noi scatter y
di _rc
cap noi scatter y x, color(puce)
di _rc
cap noi line y x, linepattern(wiggly)
di _rc
cap noi scatter y z x, symbol(circle square diamond)
di _rc
cap noi scatter y x, size(big)
di _rc
cap noi line y x, linewidth(.)
di _rc
cap noi scatter y x, legend(sideways)
di _rc
cap noi scatter y x, frobnicate
di _rc
gen str1 s = "a"
cap noi scatter s x
di _rc
