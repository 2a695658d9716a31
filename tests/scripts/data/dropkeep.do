* drop and keep: variables, observations by in and if, errors
input a b c d e
1 2 3 4 5
6 7 8 9 10
11 12 13 14 15
16 17 18 19 20
21 22 23 24 25
end
drop b
describe
keep e a c
describe
list
drop in 2
list
keep in 2/3
list
input a c e
30 31 32
40 41 42
end
drop if a>30
list
keep if c<20
list
drop in l
list
cap noi drop
cap noi drop zz
cap noi drop a if c>1
cap noi drop in 9
cap noi drop in 0
keep a c e
keep a - e
describe
drop if 1
describe
drop _all
describe
set obs 2
drop _all
describe, short
set obs 1
keep _all
clear
cap noi clear x
describe, short
