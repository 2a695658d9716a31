* compress: numbers to byte, int, long; strings to their longest value
set obs 3
generate double d1 = 1
replace d1 = 2.5 in 2
generate double d2 = 1
replace d2 = 40000 in 3
generate double d3 = -127
generate float f1 = 32740
generate float f2 = 100000
generate long l1 = 5
generate int i1 = -5
generate int i2 = 300
generate double d4 = .
replace d4 = .a in 1
generate str20 s = "ab"
replace s = "abcd" in 2
generate str1 s1 = "x"
generate str5 e = ""
compress
describe
list d4 s e
compress
compress d1 f2
cap noi compress nosuch
