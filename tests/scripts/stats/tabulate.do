* tabulate: one-way and two-way tables, percentages, tests, options, r(), errors
input byte(rep foreign) str8 make float w
3 0 "a" 1
4 0 "b" 2
3 1 "c" 1
5 1 "d" 3
4 0 "e" 1
. 1 "f" 2
3 0 "a" 1
end
label define rl 3 "fair" 4 "good"
label values rep rl
label variable foreign "Car type"
tabulate rep
return list
tabulate rep, missing sort
tabulate rep, nolabel
tabulate make
tabulate rep if foreign == 0
tabulate rep in 1/3
tabulate rep [fw=w]
tabulate rep [aw=w]
return list
* Two-way: counts, percentages, the tests.
tabulate rep foreign
tabulate rep foreign, row col cell chi2 lrchi2 V exact
return list
tabulate rep foreign, missing nofreq row
tabulate make foreign, col nokey
tabulate rep foreign [fw=w], all
* 2 x 2: signed Cramer's V and one-sided Fisher.
clear
input byte(a b) int n
0 0 8
0 1 2
1 0 1
1 1 5
end
tabulate a b [fw=n], chi2 V exact
return list
* Indicators and matrices.
tabulate a [fw=n], generate(ind) matcell(F) matrow(R)
describe ind1 ind2
list
matrix list F
matrix list R
tabulate a b [fw=n], matcell(C) matrow(RR) matcol(CC)
matrix list C
matrix list CC
* by
by a, sort: tabulate b
* Errors.
cap noi tabulate
display _rc
cap noi tabulate a b n
display _rc
cap noi tabulate a [pw=n]
display _rc
cap noi tabulate a [fw=-1]
display _rc
cap noi tabulate a [fw=1.5]
display _rc
cap noi tabulate a if a > 5
display _rc
cap noi tabulate a, row
display _rc
cap noi tabulate a b, nofreq
display _rc
cap noi tabulate a a
display _rc
cap noi tabulate a, generate(ind)
display _rc
cap noi tabulate nosuch
display _rc
* Too many columns for a two-way table.
clear
set obs 1200
gen i = _n
gen j = mod(_n, 2)
cap noi tabulate j i
display _rc
quietly tabulate i
display r(N) " " r(r)
