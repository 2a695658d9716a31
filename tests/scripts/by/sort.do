* sort: ties in the seeded order, stable, in, index(), the sort seed, errors
input k str2 s id
2 "b" 1
1 "a" 2
2 "a" 3
1 "b" 4
2 "b" 5
1 "a" 6
3 "c" 7
1 "a" 8
end
set sortseed 1001
sort k
list k id, noobs sep(0)
* the same seed gives the same order of ties
sort id
set sortseed 1001
sort k
list id, noobs sep(0)
* another seed may not
sort id
set sortseed 424242
sort k
list id, noobs sep(0)
* stable keeps ties in their order
sort id
sort k, stable
list k id, noobs sep(0)
* several keys, strings byte-wise
sort s k, stable
list s k id, noobs sep(0)
describe, short
* data in order do not move; reversed data are reversed without the shuffle
sort id
sort id
generate neg = -id
sort neg
list id, noobs sep(0)
* in sorts only the range and leaves the sort list empty
sort id
sort k in 3/6
list k id, noobs sep(0)
describe, short
* index() puts the data in the order of an index variable
generate double idx = 9 - id
sort neg, index(idx)
list id idx, noobs sep(0)
describe, short
* the sort list names the variables only when the order follows them
sort id, index(idx)
describe, short
* missing values sort last, . before .a
clear
input x
3
.b
.
-1
.a
0
end
sort x
list x, noobs sep(0)
* errors
cap noi sort
cap noi sort x if x > 0
cap noi sort x, bogus
cap noi sort x in 1/2, index(x)
cap noi sort x, stable index(x)
cap noi sort x, index(nosuch)
cap noi sort L.x
cap noi sort nosuch
cap noi set sortseed -1
cap noi set sortseed abc
