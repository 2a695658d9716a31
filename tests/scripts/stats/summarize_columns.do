* summarize rows line up with the header: N ends under "Obs" (and under
* "Weight" with a weight column); meanonly is not an option of detail
set obs 4
generate x = _n
generate w = 5 - _n
summarize x in 1/2
summarize x [aweight = w]
summarize x [iweight = w], separator(1)
capture noisily summarize x, meanonly detail
display _rc
capture noisily summarize x, detail meanonly
display _rc
summarize x, meanonly
display r(mean)
