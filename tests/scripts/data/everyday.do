* Everyday commands: list options, rename, order, count, assert, preserve/restore, clear
input str10 name float price int weight
"AMC" 4099 2930
"Buick" 5788 3860
"Cadillac" 11385 4720
"Dodge Colt" 3984 2120
"Ford" . 2650
"Honda" 5149 1800
end
list
list name price in 2/4
list if price>5000, noobs
list, clean
list, separator(2)
list, sep(0) noobs
cap noi list weight, bogus
rename price cost
cap noi rename cost
cap noi rename cost weight
cap noi rename cost 1x
cap noi rename nosuch y
order weight
describe
count
count if cost>5000
count in 1/3
count if cost==.
assert weight>0
cap noi assert cost<10000
assert cost<10000, rc0
assert weight>2000 in 1/3
cap noi assert weight>2000 in 4/6
preserve
drop if weight<3000
count
cap noi preserve
restore
count
cap noi restore
preserve
keep name
restore, preserve
describe
restore, not
cap noi restore
clear
describe
