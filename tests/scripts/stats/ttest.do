* ttest (one-sample, paired, two-sample equal/unequal/Welch), ci, oneway with Bartlett's test
input float(x y) byte g
3 4 1
5 4 1
4 6 1
2 3 2
6 9 2
7 8 2
. 5 2
end
ttest x == 4
return list
ttest x == y
return list
ttest x, by(g)
return list
ttest x, by(g) unequal
ttest x, by(g) welch
ttest x == y, unpaired
ci x y
ci x, level(90)
return list
ttest x == 4, level(99)
by g, sort: ci x
clear
input float y byte g
3 1
5 1
4 1
2 2
6 2
7 2
8 3
9 3
12 3
10 3
. 1
end
oneway y g
return list
oneway y g, tabulate
oneway y g [fw=g], tab noanova
* Errors.
cap noi ttest y
display _rc
cap noi ttest y == 4, by(g)
display _rc
cap noi ttest y, by(g)
display _rc
cap noi ttest y == 4, level(5)
display _rc
cap noi ttest y == nosuch
display _rc
cap noi ttest y == g, unequal
display _rc
cap noi ttest y == 4 if g > 5
display _rc
cap noi ci
display _rc
cap noi oneway y
display _rc
cap noi oneway y g [pw=g]
display _rc
cap noi oneway y g if g > 5
display _rc
gen str2 s = "a"
cap noi oneway s g
display _rc
cap noi ttest s == 1
display _rc
