* mark, markout, markin and in ranges
set obs 6
generate x = _n
replace x = . in 2
generate str3 s = "a"
replace s = "" in 3
generate w = _n - 1
mark m1
mark m2 if x > 2
mark m3 in 2/4
mark m4 [fweight=w]
mark m5 [fweight=w], zeroweight
markout m1 x
generate byte m6 = 1
markout m6 s
generate byte m7 = 1
markout m7 s, strok
generate byte m8 = 1
markout m8 x s, strok
list
cap noi markout x s
cap noi mark m1
cap noi mark q [fweight=x/2]
generate neg = 2 - _n
cap noi mark q [aweight=neg]
mark q [iweight=neg]
cap noi mark
list x in -1
list x in l
list x in 5/l
cap noi list x in 0
cap noi list x in 3/1
cap noi list x in 1/9
cap noi list x in abc
markin if x > 2
display "`in'"
markin if x != 4
display "`in'"
markin if x > 100
display "`in'"
drop _all
set obs 5
generate x = _n
replace x = . in 2
generate y = _n * 2
generate str1 s = "a"
replace s = "" in 4
program define tst
  syntax varlist [if] [in] [, strok]
  marksample touse, `strok'
  count if `touse'
end
program define tst2
  syntax varlist
  marksample touse, novarlist
  count if `touse'
end
tst x y
tst x y if y > 4
tst y in 1/3
tst2 x
cap noi tst s
tst s, strok
