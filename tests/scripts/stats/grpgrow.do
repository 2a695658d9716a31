* Whole-number keys whose range shows only after the first 65,536
* observations: the group slots widen (upwards, downwards, many times for
* keys in rising or falling order), and a key that turns out not to be a
* whole number or to span 2^24 values or more goes the general way. In every
* case the figures are, bit for bit, those of the general path that an `if`
* selects.
clear
set obs 70000
set seed 11
generate double y = uniform()*10
replace y = . in 65600/65610
* narrow in the first observations, then wider both ways
generate long h1 = cond(_n <= 65536, mod(_n, 50), floor(uniform()*400) - 200)
* rising and falling keys
generate long h2 = floor(_n / 3)
generate long h3 = -floor(_n / 7)
* missing keys and wider values after the first observations, each type
generate byte h4 = cond(_n <= 65536, mod(_n, 5), -100 + mod(_n, 200))
replace h4 = .a in 69990
generate int h5 = cond(_n <= 65536, mod(_n, 5), -30000 + mod(_n, 60000))
replace h5 = .z in 69991
generate float h6 = cond(_n <= 65536, 0, mod(_n, 300) - 150)
replace h6 = . in 69992
generate double h7 = cond(_n <= 65536, 1e15 + mod(_n, 3), 1e15 - mod(_n, 1000))
replace h7 = .c in 69993
* missing keys only in the first observations
generate long h8 = cond(_n <= 65536, ., mod(_n, 11))
* not whole after the first observations; a range of 2^24; beyond 2^61
generate double h9 = cond(_n == 69000, 2.5, mod(_n, 10))
generate long h10 = cond(_n == 69000, 16777216, mod(_n, 10))
generate double h11 = cond(_n == 69000, 2^62, mod(_n, 10))
* a group whose values are all missing
replace y = . if h1 == -200
foreach k of varlist h1-h11 {
  foreach f in mean sum count {
    quietly grpstat double a = `f'(y), by(`k')
    quietly grpstat double b = `f'(y) if 1, by(`k')
    assert a == b
    drop a b
  }
}
* figures checked another way: the mean of group 3 of h2 (observations 9,
* 10 and 11) and of group -10 of h3 (observations 70 to 76)
grpstat double a = mean(y), by(h2)
summarize y in 9/11, meanonly
assert reldif(a[10], r(mean)) < 1e-15
grpstat double b = mean(y), by(h3)
summarize y in 70/76, meanonly
assert reldif(b[73], r(mean)) < 1e-15
* the group of h1 == -200 has no values: its mean is missing
count if h1 == -200
grpstat double c = mean(y), by(h1)
count if c >= .
drop a b c
* an `in` range: missing outside it, and the same note both ways
grpstat double a = mean(y) in 100/69000, by(h1)
grpstat double b = mean(y) if inrange(_n, 100, 69000), by(h1)
assert a == b
count if a >= .
drop a b
* a float result: the same rounding both ways
grpstat m = mean(y), by(h5)
grpstat m2 = mean(y) if 1, by(h5)
assert m == m2
assert m == float(m)
drop m m2
* a string key goes the general way: the same groups as the numbers it spells
generate str8 hs = string(h1)
grpstat double a = mean(y), by(hs)
grpstat double b = mean(y), by(h1)
assert a == b
drop a b
* under the by prefix, as with by()
sort h4
by h4: grpstat double a = sum(y)
grpstat double b = sum(y) if 1, by(h4)
assert a == b
drop a b
* collapse: widened, and not dense
foreach k in h3 h9 {
  preserve
  collapse (mean) m=y (sum) s=y (count) c=y, by(`k')
  rename m m1
  rename s s1
  rename c c1
  save dense, replace
  restore, preserve
  collapse (mean) m=y (sum) s=y (count) c=y if 1, by(`k')
  merge `k' using dense
  assert _merge == 3
  assert m == m1 & s == s1 & c == c1
  count
  restore
}
