* held estimates
set obs 4
generate x = _n
program define post1, eclass
  ereturn scalar N = `1'
  ereturn local cmd "post1"
end
post1 11
estimates hold a
ereturn list
display e(N)
post1 22
capture noisily estimates hold a
display _rc
estimates hold b, copy
display e(N)
estimates dir
display "`r(names)'"
estimates unhold a
display e(N) " `e(cmd)'"
capture noisily estimates unhold nosuch
display _rc
capture noisily estimates unhold b, not
display _rc
estimates hold c, restore
post1 33
capture noisily estimates hold d, restore
display _rc
estimates unhold c, not
estimates drop b c
estimates dir
ereturn clear
capture noisily estimates hold e
display _rc
estimates hold e, nullok
estimates drop _all
capture noisily estimates drop nosuch
display _rc
capture noisily estimates hold 1bad
display _rc
capture noisily estimates nonsense
display _rc
* 300 named slots, the 301st is refused
post1 1
forvalues i = 1/300 {
  quietly estimates hold h`i', copy
}
capture noisily estimates hold h301, copy
display _rc
estimates clear
estimates dir
