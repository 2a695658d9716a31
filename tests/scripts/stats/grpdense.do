* Means, sums and counts by one whole-number key take a path of their own
* (no group codes): the same figures, bit for bit, as the general path that
* an `if` selects, for long, byte and float keys with missing keys and
* missing values.
clear
set obs 3000
set seed 7
generate long h = floor(uniform()*300) - 50
replace h = . in 5
replace h = .b in 9
generate double y = uniform()*100
replace y = . in 11/40
generate byte hb = mod(_n, 7)
generate float hf = floor(uniform()*20)
generate float yf = uniform()
* a byte key below -100 only, an int key with a missing code
generate byte hn = -127 + mod(_n, 9)
generate int hi = mod(_n, 40) * 100
replace hi = .c in 17
foreach k in h hb hf hn hi {
  foreach f in mean sum count {
    quietly grpstat double a = `f'(y), by(`k')
    quietly grpstat double b = `f'(y) if 1, by(`k')
    assert a == b
    quietly grpstat c = `f'(yf), by(`k')
    quietly grpstat d = `f'(yf) if 1, by(`k')
    assert c == d
    drop a b c d
  }
}
* the groups of missing keys get their own figures
grpstat double m = mean(y), by(h)
list h y m in 5
list h y m in 9
* collapse: the same dataset both ways
preserve
collapse (mean) m=y (sum) s=y (count) c=y (mean) yf, by(h)
rename m m1
rename s s1
rename c c1
rename yf yf1
save dense, replace
restore, preserve
collapse (mean) m=y (sum) s=y (count) c=y (mean) yf if 1, by(h)
merge h using dense
assert _merge == 3
assert m == m1 & s == s1 & c == c1 & yf == yf1
count
list h c s in 301/302
restore
