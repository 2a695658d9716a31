* append and merge: every mode, the _merge codes, type reconciliation,
* keep(), labels and notes, and every error.
input id x str3 s
1 10 "a"
2 20 "b"
3 30 "c"
5 50 "e"
end
label define xl 10 "ten"
label values x xl
label variable x "x from using"
char _dta[note1] "using note"
char _dta[note0] "1"
char x[origin] "using"
sort id
save u1
* match merge: 1 master only, 2 using only, 3 both
clear
input id y
1 100
2 .
4 400
5 500
end
char _dta[note1] "master note"
char _dta[note0] "1"
sort id
merge id using u1
list
describe
char list
label list
* three using records for one master key: two copies and one warning
clear
input id x
7 1
end
sort id
save m7
clear
input id z
7 1
7 2
7 3
end
sort id
save u7
use m7, clear
merge id using u7
list
cap noi merge id using u7
use m7, clear
cap noi merge id using u7, uniqusing
di _rc
list
cap noi merge id using u7, unique
di _rc
* equal runs of keys pair up observation by observation
clear
input id m
7 1
7 2
8 3
end
sort id
merge id using u7
list
* non-unique master: uniqmaster refuses, msginit warns
clear
input id m
7 1
7 2
end
sort id
cap noi merge id using u7, uniqmaster
di _rc
merge id using u7, msginit nokeep
list
* one to one
use m7, clear
merge using u7
list
use u7, clear
merge using m7, _merge(how)
list
* update and replace: 4 master missing filled, 5 disagreement
clear
input id x
1 .
2 5
3 30
end
sort id
merge id using u1, update
list
clear
input id x
1 .
2 5
3 30
end
sort id
merge id using u1, update replace nokeep
list
* keep(): patterns and names
clear
input id
1
2
end
sort id
merge id using u1, keep(s)
list
clear
input id
1
end
sort id
merge id using u1, keep(?)
describe, short
* append: new variables, promotion, string against number, labels off
clear
input byte x str1 s
1 "q"
end
append using u1, nolabel nonotes
list
label dir
char list
clear
input double id str8 x
9 "nine"
end
append using u1, keep(id x)
list
* version 4 keeps the master type and only notes it
clear
input byte x
1
end
version 4: append using u1, keep(x)
list
describe
* errors
clear
cap noi append using u1
di _rc
cap noi merge id using u1
di _rc
input id str2 q
1 "a"
end
cap noi merge id using u1
di _rc
sort id
cap noi merge id using nosuch
di _rc
cap noi merge q using u1
di _rc
cap noi append using u1, keep(zz*)
di _rc
cap noi append using u1, keep(zz)
di _rc
cap noi append using u1, keep(~)
di _rc
cap noi merge id using u1, replace
di _rc
gen _merge = 1
cap noi merge id using u1
di _rc
cap noi merge id using u1, _merge(q)
di _rc
drop _merge
save mq
use u1, clear
sort s
save u1s, replace
use mq, clear
cap noi merge id using u1s
di _rc
* a key missing from the using file, a key of the other kind
use mq, clear
gen k = 1
sort k
cap noi merge k using u1
di _rc
gen s = 1
sort s
cap noi merge s using u1s
di _rc
* using-only observations leave the master's string variables empty
clear
input str10 name id
"first" 1
end
merge using u7
list
