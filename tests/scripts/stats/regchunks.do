* regress at the edges of the chunks of 2^18 observations that its sums are
* made in (one chunk more, one less), with missing values inside, if, in and
* weights, against statsmodels (gen_regchunks.py). The test runs twice, the
* second time with ZELTA_ONE_THREAD set: both runs must print this same log,
* to the last bit of the figures shown in hexadecimal.
set obs 262145
generate double x1 = mod(_n * 7919, 10007) / 1000
generate double x2 = mod(_n * 104729, 9973) / 997 + x1 / 3
generate double x3 = mod(_n * _n, 1009) / 100
generate double y = 1 + 0.5 * x1 - 0.25 * x2 + 2 * x3 + mod(_n * 31337, 1013) / 1013 - 0.5
replace x2 = . if mod(_n, 101) == 0
replace y = . if mod(_n, 257) == 0
generate double w = 1 + mod(_n, 5)
* all 2^18 + 1 observations
regress y x1 x2 x3
assert reldif(_b[x1], 0.49996151307928882) < 1e-10
assert reldif(_se[x1], 0.00020717520698169419) < 1e-8
assert reldif(_b[x2], -0.25000371568901286) < 1e-10
assert reldif(_se[x2], 0.00019660289090416396) < 1e-8
assert reldif(_b[x3], 2.0000355681451869) < 1e-10
assert reldif(_se[x3], 0.00018934844051377145) < 1e-8
assert reldif(_b[_cons], 0.99955532850315154) < 1e-10
assert reldif(_se[_cons], 0.0017791863729393015) < 1e-8
assert reldif(e(N), 258540) < 1e-10
assert reldif(e(r2), 0.99780770924390572) < 1e-10
assert reldif(e(rmse), 0.28867635755974458) < 1e-10
display %21x _b[x1] " " %21x _b[_cons] " " %21x _se[x2] " " %21x e(r2)
* in 2/262144: 2^18 - 1 observations
regress y x1 x2 x3 in 2/262144
assert reldif(_b[x1], 0.49996093470289632) < 1e-10
assert reldif(_se[x1], 0.00020717546950725914) < 1e-8
assert reldif(_b[x2], -0.25000379021037239) < 1e-10
assert reldif(_se[x2], 0.00019660362938395118) < 1e-8
assert reldif(_b[x3], 2.0000365397739213) < 1e-10
assert reldif(_se[x3], 0.00018934950821650889) < 1e-8
assert reldif(_b[_cons], 0.99955227503514787) < 1e-10
assert reldif(_se[_cons], 0.0017791901363812465) < 1e-8
assert reldif(e(N), 258538) < 1e-10
assert reldif(e(r2), 0.99780770849971179) < 1e-10
assert reldif(e(rmse), 0.28867619425074259) < 1e-10
display %21x _b[x1] " " %21x _b[_cons] " " %21x _se[x2] " " %21x e(r2)
* if mod(_n, 3) != 0
regress y x1 x2 x3 if mod(_n, 3) != 0
assert reldif(_b[x1], 0.4999608050163431) < 1e-10
assert reldif(_se[x1], 0.00025366742088164893) < 1e-8
assert reldif(_b[x2], -0.25003396647837156) < 1e-10
assert reldif(_se[x2], 0.00024078840887188408) < 1e-8
assert reldif(_b[x3], 2.0000238870495286) < 1e-10
assert reldif(_se[x3], 0.00023189788694135281) < 1e-8
assert reldif(_b[_cons], 0.99981212048196022) < 1e-10
assert reldif(_se[_cons], 0.0021796868765993445) < 1e-8
assert reldif(e(N), 172361) < 1e-10
assert reldif(e(r2), 0.99780819680001187) < 1e-10
assert reldif(e(rmse), 0.28867642720027803) < 1e-10
display %21x _b[x1] " " %21x _b[_cons] " " %21x _se[x2] " " %21x e(r2)
* robust
regress y x1 x2 x3, robust
assert reldif(_b[x1], 0.49996151307928882) < 1e-10
assert reldif(_se[x1], 0.00020720849920304263) < 1e-8
assert reldif(_b[x2], -0.25000371568901286) < 1e-10
assert reldif(_se[x2], 0.00019660314689054842) < 1e-8
assert reldif(_b[x3], 2.0000355681451869) < 1e-10
assert reldif(_se[x3], 0.00018935191296289003) < 1e-8
assert reldif(_b[_cons], 0.99955532850315154) < 1e-10
assert reldif(_se[_cons], 0.0017802976704572914) < 1e-8
assert reldif(e(N), 258540) < 1e-10
assert reldif(e(r2), 0.99780770924390572) < 1e-10
display %21x _b[x1] " " %21x _b[_cons] " " %21x _se[x2] " " %21x e(r2)
* hc3
regress y x1 x2 x3, hc3
assert reldif(_b[x1], 0.49996151307928882) < 1e-10
assert reldif(_se[x1], 0.00020721074387778065) < 1e-8
assert reldif(_b[x2], -0.25000371568901286) < 1e-10
assert reldif(_se[x2], 0.00019660527554052294) < 1e-8
assert reldif(_b[x3], 2.0000355681451869) < 1e-10
assert reldif(_se[x3], 0.00018935395364750917) < 1e-8
assert reldif(_b[_cons], 0.99955532850315154) < 1e-10
assert reldif(_se[_cons], 0.0017803163570138676) < 1e-8
assert reldif(e(N), 258540) < 1e-10
assert reldif(e(r2), 0.99780770924390572) < 1e-10
display %21x _b[x1] " " %21x _b[_cons] " " %21x _se[x2] " " %21x e(r2)
* aweights
regress y x1 x2 x3 [aw=w]
assert reldif(_b[x1], 0.49994742585716717) < 1e-10
assert reldif(_se[x1], 0.00020716154347330445) < 1e-8
assert reldif(_b[x2], -0.25000283056751932) < 1e-10
assert reldif(_se[x2], 0.00019660087259535788) < 1e-8
assert reldif(_b[x3], 2.0000170571113491) < 1e-10
assert reldif(_se[x3], 0.00018934730858936072) < 1e-8
assert reldif(_b[_cons], 0.99971778046053938) < 1e-10
assert reldif(_se[_cons], 0.0017794516338181746) < 1e-8
assert reldif(e(N), 258540) < 1e-10
assert reldif(e(r2), 0.99780760045840855) < 1e-10
display %21x _b[x1] " " %21x _b[_cons] " " %21x _se[x2] " " %21x e(r2)
* pweights
regress y x1 x2 x3 [pw=w]
assert reldif(_b[x1], 0.49994742585716717) < 1e-10
assert reldif(_se[x1], 0.00022909138360224565) < 1e-8
assert reldif(_b[x2], -0.25000283056751932) < 1e-10
assert reldif(_se[x2], 0.00021734599945518382) < 1e-8
assert reldif(_b[x3], 2.0000170571113491) < 1e-10
assert reldif(_se[x3], 0.00020931179977672258) < 1e-8
assert reldif(_b[_cons], 0.99971778046053938) < 1e-10
assert reldif(_se[_cons], 0.0019672380948401549) < 1e-8
assert reldif(e(N), 258540) < 1e-10
display %21x _b[x1] " " %21x _b[_cons] " " %21x _se[x2] " " %21x e(r2)
* fweights
regress y x1 x2 x3 [fw=w]
assert reldif(_b[x1], 0.49994742585717761) < 1e-10
assert reldif(_se[x1], 0.00011960415606377997) < 1e-8
assert reldif(_b[x2], -0.25000283056750988) < 1e-10
assert reldif(_se[x2], 0.00011350698133411229) < 1e-8
assert reldif(_b[x3], 2.0000170571113491) < 1e-10
assert reldif(_se[x3], 0.00010931915580025037) < 1e-8
assert reldif(_b[_cons], 0.9997177804604207) < 1e-10
assert reldif(_se[_cons], 0.0010273615814537572) < 1e-8
assert reldif(e(N), 775620) < 1e-10
assert reldif(e(rmse), 0.2886711384858836) < 1e-10
display %21x _b[x1] " " %21x _b[_cons] " " %21x _se[x2] " " %21x e(r2)
* a float regressor: its blocks are copied, not read where they lie; the
* fit matches the one on the same values held as doubles
generate float f3 = x3
generate double d3 = f3
quietly regress y x1 x2 d3
scalar bd = _b[d3]
scalar sd = _se[d3]
regress y x1 x2 f3
assert _b[f3] == bd
assert _se[f3] == sd
* 2^18 observations exactly: one chunk
quietly regress y x1 x2 x3 in 1/262144
display e(N) " " %21x _b[x1] " " %21x e(rmse)
* a bad weight in either chunk stops the fit with its own code; with one in
* each, the earlier one's
generate double wb = w
replace wb = -1 in 262100
capture noisily regress y x1 x2 x3 [fw=wb]
assert _rc == 402
replace wb = 1.5 in 100
capture noisily regress y x1 x2 x3 [fw=wb]
assert _rc == 401
