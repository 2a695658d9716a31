* ours.xpt as pandas.read_sas reads it (gen_xport.py).
assert id[1] == 1.0
assert id[2] == 2.0
assert id[3] == 3.0
assert id[4] == 4.0
assert id[5] == 5.0
assert id[6] == 6.0
assert id[7] == 7.0
assert id[8] == 8.0
assert x[1] == 0.1
assert x[2] == -0.3333333333333333
assert x[3] == 9007199254740994.0
assert x[4] == 1.6192816040802084e-78
assert x[5] == 7.237005577332261e+75
assert x[6] == 123456789.12345679
assert missing(x[7])
assert missing(x[8])
assert f[1] == 0.10000000149011612
assert f[2] == 0.20000000298023224
assert f[3] == 0.30000001192092896
assert f[4] == 0.4000000059604645
assert f[5] == 0.5
assert f[6] == 0.6000000238418579
assert f[7] == 0.699999988079071
assert missing(f[8])
assert s[1] == `"row 1"'
assert s[2] == `""'
assert s[3] == `"a, b and c!"'
assert s[4] == `"row 4"'
assert s[5] == `"row 5"'
assert s[6] == `"row 6"'
assert s[7] == `"row 7"'
assert s[8] == `"row 8"'
assert day[1] == 19001.0
assert day[2] == 19002.0
assert day[3] == 19003.0
assert day[4] == 19004.0
assert day[5] == 19005.0
assert day[6] == 19006.0
assert day[7] == 19007.0
assert day[8] == 19008.0
assert bignum[1] == 1999999999.0
assert bignum[2] == 1999999998.0
assert bignum[3] == 1999999997.0
assert bignum[4] == 1999999996.0
assert bignum[5] == 1999999995.0
assert bignum[6] == 1999999994.0
assert bignum[7] == 1999999993.0
assert bignum[8] == 1999999992.0
assert answer[1] == 1.0
assert answer[2] == 0.0
assert answer[3] == 1.0
assert answer[4] == 0.0
assert answer[5] == 1.0
assert answer[6] == 0.0
assert answer[7] == 1.0
assert answer[8] == 0.0
