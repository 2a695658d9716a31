* Memory: without a setting the data area grows as the data grow; a size
* fixed with set memory is the limit, and every way of adding observations
* says "no room" (901) when it is reached, leaving the data as they were.
set obs 300000
generate double x = _n
generate double y = 2 * x
generate str20 s = "row " + string(_n)
count
assert y == 2 * _n
display c(memory)
save big, replace
outsheet x y using big.csv, comma replace
outfile x y using big.raw, replace
keep in 1/50
save small, replace
clear
set memory 100k
display c(memory)
cap noi use big
display _rc
cap noi insheet using big.csv, clear
display _rc
cap noi infile x y using big.raw, clear
display _rc
use small
cap noi expand 1000
display _rc
count
cap noi append using big
display _rc
count
cap noi merge using big
display _rc
count
cap noi set obs 100000
display _rc
count
