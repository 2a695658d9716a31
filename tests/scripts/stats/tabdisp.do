* tabdisp: one-, two- and three-way layouts, several cell variables, by(),
* totals, formats, alignment, concise, missing, widths, panels and errors.
input byte(g h k) float(x y) str5 s
1 1 1 3 1.25 "a"
1 2 1 5 2 "bb"
2 1 1 7 . "c"
2 2 1 2 4 ""
1 1 2 13 1 "d"
2 2 2 6.5 .a "e"
. 1 1 10 3.25 "t"
end
label define gl 1 "one" 2 "two"
label values g gl
label variable h "The h"
tabdisp g if k == 1 & h == 1, cell(x y s)
tabdisp g h if k == 1, cell(x y)
tabdisp g h if k == 1, cell(x y s) missing
tabdisp g h k, cell(x)
tabdisp g h k if g < ., cell(y) missing
tabdisp h if g < ., cell(x) by(g k)
tabdisp g h if k == 1, cell(x) totals
tabdisp g h if k == 1, cell(x) center format(%5.2f)
tabdisp g h if k == 1, cell(x) left concise
* A string row, a labelled cell variable; widths cut texts, never numbers.
tabdisp s if k == 1, cell(g x) cellwidth(1) stubwidth(4)
tabdisp s if k == 1, cell(g) csepwidth(6)
* Wide tables continue in panels that fit the line.
preserve
clear
set obs 12
generate byte r = 1 + (_n > 6)
generate byte c = _n
generate double v = _n * 1000.5
set linesize 60
tabdisp r c, cell(v)
set linesize 80
restore
* Errors leave nothing printed but the message.
cap noi tabdisp g h, cell(x)
display _rc
cap noi tabdisp g h
display _rc
cap noi tabdisp g h, cell()
display _rc
cap noi tabdisp g, cell(x y s k h g)
display _rc
cap noi tabdisp g h k x, cell(y)
display _rc
cap noi tabdisp g h, cell(x) format(%5.2z)
display _rc
cap noi tabdisp g h, cell(x) center left
display _rc
cap noi tabdisp g h, cell(x) by(g)
display _rc
cap noi tabdisp g h if k > 5, cell(x)
display _rc
cap noi tabdisp g nosuch, cell(x)
display _rc
cap noi tabdisp g h, cell(x) cellwidth(0)
display _rc
cap noi tabdisp g h, cell(x) by(h k x y s)
display _rc
* String keys: with totals the empty text holds the totals, shown last as
* Total; without, it is an ordinary (blank) level, shown first.
clear
input str4 reg str3 sex byte yr n
"east" "f" 1 3
"east" "m" 1 4
"east" "" 1 7
"west" "f" 1 5
"west" "m" 1 1
"west" "" 1 6
"" "f" 1 8
"" "m" 1 5
"" "" 1 13
"east" "f" . 30
end
tabdisp reg sex if yr == 1, cell(n) totals
tabdisp reg sex if yr == 1, cell(n)
tabdisp sex if yr == 1, cell(n) by(reg) totals
* a numeric total beside a string one
tabdisp yr sex if reg == "east", cell(n) totals
