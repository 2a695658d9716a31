* Commands that share their work with a helper thread on long data. The test
* runs twice: as it stands, and with ZELTA_ONE_THREAD set and any thread the
* program starts ending the run; both runs must print this same log.
set obs 1100000
* generate and replace: the two halves meet on a block boundary
generate double x = mod(_n * 7919, 1000003) / 7
generate double y = sqrt(x) + mod(_n, 13)
replace y = y / 3 if mod(_n, 5) == 0
generate double z = x - y
generate double w = mod(_n * 31, 1009)
generate byte g = mod(_n, 4)
generate byte yb = mod(_n * 13, 7) < 3 + g
* the reductions by chunks and halves
summarize x y
display %21x r(sum) " " %21x r(sd)
tabulate g
matrix accum A = x y
display %21x A[1, 1] " " %21x A[2, 3]
* a sort of long data, by one double key and by two keys
sort w
display %21x x[1] " " %21x x[550001] " " %21x x[1100000]
sort g x
display %21x y[2] " " %21x y[700000] " " %21x y[1100000]
* saving through the writer thread, over a copy large enough to be let go
* of on another thread, and reading back with the helper
save big, replace
save big, replace
clear
use big
summarize z
display %21x r(sum)
* a long delimited file, parsed in blocks
outsheet x y g using big.csv, comma replace
clear
insheet using big.csv, comma
summarize x y g
display %21x r(sum)
* a maximum-likelihood fit whose sums are kept in halves
use big, clear
logit yb y in 1/40000
display %21x _b[y] " " %21x e(ll)
