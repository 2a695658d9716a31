* loops, syntax and extended functions over variables
set obs 3
generate x = _n
generate y = 2*_n
generate str5 s = "a"
foreach v of varlist x-s {
  display "`v'"
}
program define sv
  syntax varlist(numeric) [if] [in] [, Gen(name)]
  display "varlist=`varlist' if=`if' in=`in' gen=`gen'"
end
sv x y if x > 1 in 1/2, gen(z)
capture noisily sv
capture noisily sv x s
capture noisily sv nosuch
program define nv
  syntax newvarlist(max=2)
  display "varlist=`varlist' typlist=`typlist'"
end
nv a b
capture noisily nv a b c
capture noisily nv x
display "`:type x' `:format s' `:type s'"
tempvar t
display "`t'"
* sortpreserve puts the observations back in their order
program define sorter, sortpreserve
  sort y
  display y[1]
end
replace y = 10 - _n
display y[1]
sorter
display y[1]
* characteristics
char x[note] hello there
char _dta[who] me
display "`x[note]' `_dta[who]' [`x[none]']"
local c : char x[note]
display "`c'"
local c : char x[]
display "`c'"
* temporary variables are dropped when the program that made them ends
program define mktemp
  tempvar a b
  generate `a' = 1
  generate `b' = 2
  display "`:type `a''"
  foreach v of varlist _all {
    display "`v'"
  }
end
mktemp
foreach v of varlist _all {
  display "`v'"
}
forvalues i = 1/3 {
  if `i' == 2 exit
  display "i=`i'"
}
display "not reached"
