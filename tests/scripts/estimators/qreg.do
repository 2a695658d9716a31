* qreg and huberreg against independent references (gen_qreg.R, whose
* values are in ref_qreg.do): the exact median, lower-quartile and
* 90th-percentile fits with their kernel (sparsity) standard errors, the
* Huber-then-biweight fit with outliers, predictions, bad input.
run chk.do
run ref_qreg.do
run mkdata.do
quietly mk_qreg1
qreg y x1 x2
ref_qreg_05
display e(q) " " e(N) " " e(df_r) " " e(vertex) " " e(cmd)
predict double r, residuals
gen double ar = abs(r)
summarize ar, meanonly
chk r(sum)/2 e(sum_adev) 1e-10
count if abs(r) < 1e-9
qreg y x1 x2, quantile(.25)
ref_qreg_025
quietly qreg y x1 x2, quantile(0.9) wlsiter(3)
ref_qreg_09
qreg
huberreg y x1 x2, genwt(hw)
ref_huber
summarize hw
* bad input: the data stay as they were
cap noi qreg y x1 x2, quantile(1.5)
display _rc
cap noi qreg y x1 x2, quantile(0)
display _rc
cap noi qreg y x1 x2 [fweight=x2]
display _rc
cap noi qreg y
display _rc
cap noi huberreg y x1, iterate(0)
display _rc
describe, short
