* time-series operators in expressions: found by time within the panel, so
* gaps in time, panels, and the sort order all matter
clear
input t x
1 10
2 20
3 30
5 50
6 60
end
* no time variable yet
cap noi generate double lx = L.x
di _rc
cap noi display D.x
di _rc
cap noi count if tin(2, 3)
di _rc
char _dta[_TStvar] t
* a time variable, but the data are not known to be sorted by it
cap noi generate double lx = L.x
di _rc
sort t
* lags and leads over the gap between 3 and 5
generate double lx = L.x
generate double l2x = L2.x
generate double fx = F.x
generate double f2x = F2.x
generate double dx = D.x
generate double d2x = D2.x
generate double s2x = S2.x
generate double ldx = LD.x
generate double dlx = D.L.x
generate double fdx = F.D.x
list, noobs
* the same recipes through a variable list agree
list t L.x L2.x F.x D.x D2.x S2.x LD.x, noobs
* operators inside larger expressions and in if
generate double y = x - L.x + 100*F.x if D.x < .
list t y, noobs
count if L.x == 10 | F2.x == 60
display L.x
* a changed time value cuts the sort order
replace t = 0 in 1
cap noi generate z = L.x
di _rc
cap noi count if F.x < .
di _rc
sort t
generate double lx0 = L.x
list t x lx0, noobs
* missing time: the observation has no neighbours and no one reaches it
replace t = . in 5
sort t
generate double lxm = L.x
generate double fxm = F.x
list t x lxm fxm, noobs

* panels: each panel has its own time line
clear
input id t x
2 4 130
1 1 1
2 1 100
1 3 9
1 2 4
2 2 110
1 5 25
1 6 36
end
char _dta[_TStvar] t
char _dta[_TSpanel] id
sort t
* sorted by time alone while a panel is set
cap noi generate lx = L.x
di _rc
sort id t
generate lx = L.x
generate fx = F.x
generate dx = D.x
generate d2x = D2.x
generate s2x = S2.x
generate l3x = L3.x
list, noobs sep(0)
* extra sort keys after panel and time are fine
sort id t x
generate l2x = L2.x
list id t l2x, noobs sep(0)
* replace reads values already replaced in earlier periods
generate double c = 1
replace c = 2 * L.c if L.c < .
list id t c, noobs sep(0)
* sorted the other way round
sort x
cap noi generate bad = F.x
di _rc
* a panel variable that does not exist
sort id t
char _dta[_TSpanel] nosuch
cap noi generate bad = L.x
di _rc
char _dta[_TSpanel]
* string variables cannot be operated
generate str3 s = "a"
cap noi generate bad = L.s
di _rc
