* matrix accum over several blocks of observations: storage types mixed,
* missing values in some blocks only, a range that starts off the first
* observation; every element against sums formed another way
set obs 20003
generate double x1 = mod(_n, 7) - 3
generate byte x2 = mod(_n, 5)
generate float x3 = mod(_n * 3, 11) / 4
generate int x4 = mod(_n, 13) * 100
generate long x5 = mod(_n * 7, 19) - 9
generate double x6 = mod(_n, 3) / 8
generate double x7 = mod(_n * 5, 23)
generate float x8 = mod(_n, 2)
generate double x9 = -mod(_n * 11, 29)
replace x2 = . in 9000
replace x9 = .a in 20003
generate byte touse = !missing(x1, x2, x3, x4, x5, x6, x7, x8, x9)
count if touse
matrix accum A = x1-x9
display r(N)
local bad 0
forvalues i = 1/9 {
  forvalues j = 1/`i' {
    quietly generate double pr = x`i' * x`j' if touse
    quietly summarize pr
    if el(A, `i', `j') != r(sum) | el(A, `j', `i') != r(sum) local bad = `bad' + 1
    drop pr
  }
  quietly summarize x`i' if touse
  if el(A, 10, `i') != r(sum) | el(A, `i', 10) != r(sum) local bad = `bad' + 1
}
display "elements that differ: `bad'"
display el(A, 10, 10), el(A, 1, 1), el(A, 9, 9), el(A, 4, 2)
* without the missing rows: every block is read in place
matrix accum B = x1 x4 x6 in 5/8999, noconstant
display r(N)
quietly generate double pr = x4 * x6 in 5/8999
quietly summarize pr
display el(B, 3, 2) == r(sum), el(B, 3, 2)
drop pr
* more columns than the cross-product kernel takes: the BLAS branch gives
* the same figures on integer data
forvalues k = 1/33 {
  quietly generate double y`k' = mod(_n * `k', 17) - 8
}
matrix accum W = y1-y33
matrix accum S = y1 y2 y32 y33
display el(W, 2, 1) == el(S, 2, 1), el(W, 33, 32) == el(S, 4, 3), el(W, 34, 33) == el(S, 5, 4), el(W, 34, 34) == el(S, 5, 5)
display el(W, 2, 1), el(W, 33, 32), el(W, 34, 33), el(W, 34, 34)
