* replace: changes, promotion, truncation, strings, sequential references
set obs 5
generate byte b = _n
replace b = b
replace b = b + 1 in 1/2
replace b = 1000 in 1
describe b
generate byte c = _n
replace c = 1000 in 1, nopromote
replace c = . in 2
replace c = 2.7 in 3, nopromote
replace c = 2.5 in 4
describe c
generate long l = 5
replace l = 1.5 in 1
describe l
generate float f = 1
replace f = f / 3
generate double d = 1
replace d = . if _n > 3
replace d = d[_n-1] + 1 if _n > 1
list d
generate str2 s = "ab"
replace s = "abc" in 1
replace s = "wxyz" in 2, nopromote
replace s = s + "!" in 5
describe s
list s
replace s = s
cap noi replace nosuch = 1
cap noi replace b = "a"
cap noi replace s = 1
cap noi replace b c = 1
cap noi replace b = 1, bad
cap noi replace b
cap noi replace b = 1 in 0
