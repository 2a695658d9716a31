* Variables long enough to be filled (or replaced) by two threads, and sorts
* long enough to be moved by two: the values, the missing counts and the
* order are those of the one-thread paths (a random-number call keeps a generate on
* one thread; sums and comparisons check the halves against each other).
set obs 1100000
generate double x = mod(_n * 7919, 1100000) / 1100000
generate double z = _n / 3 + 0.5
* two threads, then one (uniform() keeps the second on one thread)
generate double y = 2*x + ln(z)
generate double y1 = 2*x + ln(z) + 0*uniform()
assert y == y1
* missing results counted in both halves
generate double m = ln(_n - 600000)
count if m == .
generate float f = sqrt(x) if _n > 300000
assert f == float(sqrt(x)) if _n > 300000
count if f == .
generate double w = ln(x - 0.5) in 200000/1000000
count if w == .
* replace on two threads, then on one; the counts of both halves add up
generate double r1 = y
replace r1 = r1 * 2 if x > 0.5
generate double r2 = y
replace r2 = r2 * 2 + 0*uniform() if x > 0.5
assert r1 == r2
replace r1 = ln(x - 0.9)
count if r1 == .
summarize y, meanonly
display %18.0g r(sum)
* the order of a sort gathered by two threads, with ties kept by `stable`
generate long id = _n
generate int k = mod(_n * 31, 1000)
sort k x, stable
assert k[_n-1] < k | (k[_n-1] == k & x[_n-1] <= x) in 2/l
assert y == y1 & (m == .) == (id <= 600000)
assert reldif(m, ln(id - 600000)) < 1e-15 if id > 600000
generate str12 s = "s" + string(mod(id * 13, 977)) + "t"
generate str5 t = substr(s, 1, 5)
generate byte b = mod(id, 100)
sort s id
assert s[_n-1] < s | (s[_n-1] == s & id[_n-1] < id) in 2/l
assert y == y1 & (m == .) == (id <= 600000)
assert reldif(m, ln(id - 600000)) < 1e-15 if id > 600000
sort id
assert id == _n
assert s == "s" + string(mod(id * 13, 977)) + "t"
assert t == substr(s, 1, 5) & b == mod(id, 100) & k == mod(id * 31, 1000)
display x[1] " " x[1100000] " " k[777777]
