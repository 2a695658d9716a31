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
