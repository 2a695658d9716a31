* foreach over new variable names: the names must be valid and not yet in use,
* ranges expand, and nothing is created
clear
set obs 2
generate a1 = 1
cap noi foreach v of newlist a1 {
  di "body `v'"
}
di _rc
foreach v of newlist b1-b3 c {
  di "`v'"
}
cap noi foreach v of newlist a0 a0 {
  di "`v'"
}
di _rc
cap noi foreach v of newlist 1x {
  di "`v'"
}
di _rc
cap noi foreach v of newlist {
  di "`v'"
}
di _rc
cap noi foreach v of newlist double z {
  di "`v'"
}
di _rc
cap noi foreach v of newlist b3-b1 {
  di "`v'"
}
di _rc
describe
