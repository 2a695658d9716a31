* set obs: growth, new observations are missing, refusals
set obs 5
input x str3 s
1 a
2 b
end
cap noi set obs 4
list
set obs 7
list
cap noi set obs 3
cap noi set obs
cap noi set obs abc
cap noi set obs 10000000000
count
set obs 60000
count
assert x==. in 3/60000
assert s=="" in 3/60000
assert x==2 in 2
