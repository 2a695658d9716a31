* grpstat: group statistics, ranks, standardised values, group numbers, tags, row statistics, cut points
input byte(g h) float(x y z)
1 1 3 1 .
1 2 5 2 4
1 1 . 3 5
2 1 7 4 6
2 2 2 . 7
2 2 2 6 .
3 . 9 7 8
end
grpstat n = count(x), by(g)
grpstat m = mean(x), by(g)
grpstat double s = sd(x), by(g)
grpstat mn = min(x), by(g)
grpstat mx = max(x), by(g)
grpstat t = total(x), by(g)
grpstat md = median(x), by(g)
grpstat p75 = pctile(x), by(g) p(75)
grpstat r = rank(x), by(g)
grpstat rf = rank(x), field
grpstat z1 = std(x)
grpstat gr = group(g h)
grpstat gm = group(g h), missing
grpstat tg = tag(g h)
list
drop n-tg
grpstat rm = rowmean(x y z)
grpstat rt = rowtotal(x y z)
grpstat rmin = rowmin(x y z)
grpstat rmax = rowmax(x y z)
grpstat rn = rownonmiss(x y z)
grpstat rs = rowsd(x y z)
grpstat c1 = cut(y), at(0 2 4 8)
grpstat c2 = cut(y), at(0 2 4 8) icodes
grpstat c3 = cut(y), group(3) icodes
grpstat m2 = mean(x) if h == 1, by(g)
list
bysort g: grpstat m3 = mean(y)
list g y m3
* Errors leave the data as they were.
cap noi grpstat m3 = mean(y)
display _rc
cap noi grpstat q = foo(y)
display _rc
cap noi grpstat q = mean y
display _rc
cap noi grpstat q = mean(y
display _rc
cap noi grpstat q = rowmean(x y), by(g)
display _rc
cap noi grpstat q = pctile(y), p(120)
display _rc
cap noi grpstat q = cut(y)
display _rc
cap noi grpstat q = cut(y), at(3 1)
display _rc
cap noi grpstat q = rank(x), field track
display _rc
cap noi grpstat str5 q = mean(x)
display _rc
cap noi grpstat q = mean(x), by(nosuch)
display _rc
cap noi grpstat q = mean(x), bogus
display _rc
describe, short
* Weights: the statistics of an expression take them; a missing or zero
* weight leaves its observation out of the figures but not of its group.
clear
input byte g float(x w)
1 1 1
1 2 2
1 4 3
2 3 1
2 5 1
2 . 2
3 6 0
end
grpstat n = count(x) [fw=w], by(g)
grpstat na = count(x) [aw=w], by(g)
grpstat ni = count(x) [iw=w], by(g)
grpstat m = mean(x) [aw=w], by(g)
grpstat double s = sd(x) [aw=w], by(g)
grpstat double sf = sd(x) [fw=w], by(g)
grpstat t = total(x) [aw=w], by(g)
grpstat tf = total(x) [fw=w], by(g)
grpstat md = median(x) [fw=w], by(g)
grpstat mx = max(x) [fw=w], by(g)
list g x w n na ni m s sf t tf md mx, noobs
grpstat double z = std(x) [fw=w]
format z %9.6f
list z, noobs
cap noi grpstat r = rank(x) [fw=w]
display _rc
cap noi grpstat r = rowmean(x w) [aw=w]
display _rc
cap noi grpstat r = mean(x) [fw=x/2]
display _rc
cap noi grpstat r = mean(x) [aw=x-3]
display _rc
describe, short
