* The values haven::write_xpt was given (gen_xport.R).
assert id[1] == 1
assert id[2] == 2
assert id[3] == 3
assert id[4] == 4
assert id[5] == 5
assert id[6] == 6
assert id[7] == 7
assert x[1] == 0.10000000000000001
assert x[2] == -0.33333333333333331
assert x[3] == -2.4999999999999999e-70
assert x[4] == 1.0000000000000001e+70
assert missing(x[5])
assert x[6] == 123456789.123
assert x[7] == 4503599627370496
assert s[1] == `"alpha"'
assert s[2] == `""'
assert s[3] == `"a b c"'
assert s[4] == `"zz"'
assert s[5] == `""'
assert s[6] == `"last"'
assert s[7] == `"with "quote""'
assert m[1] == 1.5
assert missing(m[2])
assert missing(m[3])
assert missing(m[4])
assert m[5] == -7
assert m[6] == 4.9999999999999998e-75
assert m[7] == 0
