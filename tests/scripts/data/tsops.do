* Time-series operators: lags, leads, differences, seasonal differences,
* numlists, across panels and gaps in time; tsrevar further down
input id t x
2 2 14
1 1 11
1 2 14
2 1 11
1 3 19
1 5 35
2 3 19
end
cap noi list L.x
char _dta[_TStvar] t
cap noi list L.x
sort t
list t x L.x F.x
char _dta[_TSpanel] id
cap noi list L.x
sort id t
list id t x L.x F.x D.x D2.x S2.x
list id t L(1/2).x
list id t LD.x DL.x L2F2.x
list id t l.(x t)
list id t F2D.x in 4/7
cap noi list D21.x
cap noi list Q.x
cap noi list L(3/1).x
cap noi list SSSSSSSSS.x
cap noi list L.nosuch
cap noi list L.
drop t
cap noi list L.x
* tsrevar: temporary variables for operated entries of a variable list
use firms, example clear
cap noi tsrevar L.sales
di _rc
tsdeclare id year
tsrevar sales L.sales D.staff L.sales
return list
local v `r(varlist)'
local l : word 2 of `v'
local d : word 3 of `v'
local l2 : word 4 of `v'
assert "`l'" == "`l2'"
assert `l' == L.sales
assert `d' == D.staff
count if `l' < .
* the temporary variables go when the do-file ends; list names the bases
tsrevar L(1/2).sales D.staff staff, list
return list
* inside a program the variables are dropped at its end
program define p1
  tsrevar L.sales
  summarize `r(varlist)'
end
p1
describe, short
cap noi tsrevar L.nosuch
di _rc
cap noi tsrevar sales, bad
di _rc
