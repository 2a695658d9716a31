* The scatter family of gdi: points, connected lines with each connect type
* and missing rule, values, labels and weights, all from a series set.
clear
set obs 6
gen x = _n
gen y = _n * _n
replace y = . in 4
gen w = _n
gen str4 lab = "p" + string(_n)
format y %4.1f
serset create x y w lab, omitnothing
gdi init 6 4 255 255 255
gdi xbeta = 1000
gdi ybeta = 100
gdi scatter 0 1 2
gdi scatterline 0 1 2
gdi scatterline_connect_missing = yes
gdi scatterline 0 1 2
gdi scatterline_connect_missing = no
gdi scatterline_connect_type = stairstep
gdi scatterline 0 1 2
gdi scatterline_connect_type = stairstep_up
gdi scatterline 0 1 2
gdi scatterline_connect_type = ascending
gdi scatterline 0 2 1
gdi scattervalue 0 1 2
* labels are kept on the page: those under the bottom edge slide up; placed
* 1500 units left of their markers, the one at x=1000 turns to the right side
gdi scatterlabel 0 1 2 4
gdi scatterlabel 0 1 2 4 -1500 300
gdi scatterweight 0 1 2 3
gdi gm_jitter = 100
gdi jitterseed = 3
gdi scatter 0 1 2
gdi end
_gph dump, nohex
* errors
cap noi gdi scatter 0 1 5
di _rc
cap noi gdi scatter 1 1 2
di _rc
cap noi gdi scatter 0 1
di _rc
cap noi gdi scatter 0 1.5 2
di _rc
cap noi gdi scatterlabel 0 1 2
di _rc
cap noi gdi scatterlabel 0 1 2 4 . 0
di _rc
