* Plug-ins: the example plug-in reads and writes the variables passed over
* the range and the `if' condition, reads a global macro, sets a scalar, a
* local and a matrix; plug-ins of another interface version, files that are
* not plug-ins and missing files are refused when the program is defined.
program define rowsum, plugin using("`c(sysdir_zelta)'plugin/rowsum.so")
clear
set obs 6
gen a = _n
gen b = 10 * _n
replace b = . in 3
gen double s = .
global rowsum_title "Row sums"
plugin call rowsum a b s if a != 2 in 1/5, scale 2
list
display scalar(rowsum_n) " `rowsum_n'"
matrix list rowsum_tot
global rowsum_title
plugin call rowsum a s
list
* Errors from the plug-in and from the call.
cap noi plugin call rowsum a
di _rc
cap noi plugin call rowsum a b s, fail
di _rc
cap noi plugin call rowsum a b s, scale x
di _rc
cap noi plugin call nosuch a
di _rc
cap noi plugin call rowsum a nosuchvar
di _rc
cap noi plugin run rowsum
di _rc
* Refused when defined.
copy "`c(sysdir_zelta)'testplugins/badversion.so" badversion.so
cap noi program define bad, plugin using("badversion.so")
di _rc
shell printf 'not a shared object' > fake.so
cap noi program define fake, plugin using("fake.so")
di _rc
cap noi program define none, plugin using("nosuch.so")
di _rc
cap noi plugin call bad a
di _rc
* A plug-in program dropped is gone.
program drop rowsum
cap noi plugin call rowsum a b s
di _rc
