* Group statistics over data long enough to be reduced by halves (each half
* with figures of its own, added in order). The test runs twice, once with
* the halves on two threads and once with ZELTA_ONE_THREAD set: both runs
* must print this same log, to the last bit of every figure.
set obs 1100000
generate double y = 1e6 + mod(_n * 7919, 1000003) / 3000009
replace y = . if mod(_n, 97) == 0
* the key's values in the second half reach past those of the first; some
* keys are missing (.a only in the second half)
generate long h = mod(_n * 31, 1000) + 500 * (_n > 700000)
replace h = . if mod(_n, 1013) == 0
replace h = .a if mod(_n, 2027) == 0 & _n > 700000
generate byte b = mod(_n, 7)
generate double w = 1 + mod(_n, 5)
* by a small whole-number key: sums by slot, the halves' slots merged
grpstat double m = mean(y), by(h)
grpstat double t = total(y), by(h)
grpstat double c = count(y), by(h)
grpstat double mi = mean(y) in 5/1090000, by(h)
* by group codes: standard deviations, weights, two keys, extremes
grpstat double s = sd(y), by(h)
grpstat double mw = mean(y) [aw=w], by(h)
grpstat double m2 = mean(y), by(h b)
grpstat double lo = min(y), by(h)
grpstat double hi = max(y), by(h)
grpstat double z = std(y), by(h)
foreach v in m t c mi s mw m2 lo hi z {
  quietly summarize `v'
  display "`v' " %21x r(sum) " " %21x r(sd) " " %21x `v'[3] " " %21x `v'[800003]
}
* a group's mean and sd as summarize finds them
summarize y if h == 7
assert reldif(m, r(mean)) < 1e-13 if h == 7
assert reldif(s, r(sd)) < 1e-9 if h == 7
summarize y if h == 1200
assert reldif(m, r(mean)) < 1e-13 if h == 1200
assert reldif(t, r(sum)) < 1e-13 if h == 1200
assert c == r(N) if h == 1200
* into a dataset: the dense sums, then every statistic by codes
preserve
collapse (mean) y (sum) ys=y (count) yc=y, by(h)
display _N " " %21x y[1] " " %21x ys[1] " " %21x y[_N-1] " " %21x ys[_N] " " yc[_N]
quietly summarize y
display %21x r(sum) " " %21x r(sd)
restore
collapse (mean) y (sum) ys=y (sd) sd=y (min) ymin=y (max) ymax=y (first) yf=y (last) yl=y (firstnm) yfn=y (lastnm) yln=y [fw=b], by(h)
display _N
foreach v in y ys sd ymin ymax yf yl yfn yln {
  quietly summarize `v'
  display "`v' " %21x r(sum) " " %21x r(sd) " " %21x `v'[2] " " %21x `v'[_N-2]
}
