* _pctile, quantile groups and expand
input float x byte w
1 1
2 2
3 1
4 3
5 1
6 1
7 2
8 1
. 1
10 1
end
_pctile x
return list
_pctile x, nq(4)
return list
_pctile x, p(10 25 50 90)
return list
_pctile x, p(25 75) altdef
return list
_pctile x [fw=w], nq(4)
return list
_pctile x if x > 3, nq(3)
return list
* quantile groups are grpstat's cut(), group(#)
grpstat q = cut(x), group(4) icodes
grpstat q3 = cut(x) if x < 9, group(3) icodes
list x q q3
* expand
expand 2 in 1/2
list x w in 9/l
expand w if x > 6
count
expand = -1
* Errors.
cap noi _pctile x, nq(1)
display _rc
cap noi _pctile x, nq(4) p(50)
display _rc
cap noi _pctile x, p(120)
display _rc
cap noi _pctile x [fw=w], altdef
display _rc
cap noi _pctile x if x > 100
display _rc
cap noi expand
display _rc
cap noi expand "a"
display _rc
