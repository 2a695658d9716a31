* ours.xpt as foreign::read.xport reads it (gen_xport.R).
assert id[1] == 1
assert id[2] == 2
assert id[3] == 3
assert id[4] == 4
assert id[5] == 5
assert id[6] == 6
assert id[7] == 7
assert id[8] == 8
assert x[1] == 0.10000000000000001
assert x[2] == -0.33333333333333331
assert x[3] == 9007199254740994
assert x[4] == 1.6192816040802084e-78
assert x[5] == 7.2370055773322606e+75
assert x[6] == 123456789.12345679
assert missing(x[7])
assert missing(x[8])
assert f[1] == 0.10000000149011612
assert f[2] == 0.20000000298023224
assert f[3] == 0.30000001192092896
assert f[4] == 0.40000000596046448
assert f[5] == 0.5
assert f[6] == 0.60000002384185791
assert f[7] == 0.69999998807907104
assert missing(f[8])
assert s[1] == `"row 1"'
assert s[2] == `""'
assert s[3] == `"a, b and c!"'
assert s[4] == `"row 4"'
assert s[5] == `"row 5"'
assert s[6] == `"row 6"'
assert s[7] == `"row 7"'
assert s[8] == `"row 8"'
assert day[1] == 19001
assert day[2] == 19002
assert day[3] == 19003
assert day[4] == 19004
assert day[5] == 19005
assert day[6] == 19006
assert day[7] == 19007
assert day[8] == 19008
assert bignum[1] == 1999999999
assert bignum[2] == 1999999998
assert bignum[3] == 1999999997
assert bignum[4] == 1999999996
assert bignum[5] == 1999999995
assert bignum[6] == 1999999994
assert bignum[7] == 1999999993
assert bignum[8] == 1999999992
assert answer[1] == 1
assert answer[2] == 0
assert answer[3] == 1
assert answer[4] == 0
assert answer[5] == 1
assert answer[6] == 0
assert answer[7] == 1
assert answer[8] == 0
