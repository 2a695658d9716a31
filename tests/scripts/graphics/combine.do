* Graphs kept by name (replaced only when asked), listed, shown and dropped,
* and graph combine: panels in rows from the top left, found again in the
* SVG by their titles (svgcheck.py), their texts clear of one another.
clear
set obs 20
gen x = _n
gen y = x^2
gen z = sqrt(x)
scatter y x, title("Panel A") name(ga)
scatter z x, title("Panel B") name(gb)
line y x, title("Panel C") name(gc)
cap noi scatter z x, title("Again") name(ga)
display _rc
scatter z x, title("Panel A") name(ga, replace)
cap noi scatter z x, name(ga, keep)
display _rc
graph dir
graph display gb
graph dir
cap noi graph display nosuch
display _rc
graph combine ga gb gc, cols(2) title("Three panels") name(three)
graph dir
graph export three.svg
shell /usr/bin/python3 svgcheck.py three.svg --cells 2 2 "Panel A" "Panel B" "Panel C" > out.txt
shell /usr/bin/python3 svgcheck.py three.svg --cells 8 1 "Three panels" | tail -1 > out2.txt
type out2.txt
type out.txt
graph combine ga gb gc, rows(1) name(row)
graph export row.svg
shell /usr/bin/python3 svgcheck.py row.svg --cells 1 3 "Panel A" "Panel B" "Panel C" > out.txt
type out.txt
graph combine ga gb gc, cols(1) name(col)
graph export col.svg
shell /usr/bin/python3 svgcheck.py col.svg --cells 3 1 "Panel A" "Panel B" "Panel C" > out.txt
type out.txt
* a combined graph combines again, and saves and reads back like any other
graph combine three gc, name(nested)
graph save nested, replace
graph use nested
graph export nested.svg
shell /usr/bin/python3 svgcheck.py nested.svg > out.txt
type out.txt
* errors
cap noi graph combine ga nosuch
display _rc
cap noi graph combine ga gb gc, rows(1) cols(2)
display _rc
cap noi graph combine ga gb, name(three)
display _rc
graph combine ga gb, name(three, replace)
cap noi graph combine
display _rc
cap noi graph combine ga, scheme(nosuch)
display _rc
graph drop gb
cap noi graph drop gb
display _rc
graph dir
graph drop _all
graph dir
