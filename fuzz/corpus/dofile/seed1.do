display 1
/* c */ di "a//b" // x
#delimit ;
di 1
+ 2;
#delimit cr
forvalues i = 1/3 {
  di `i'
}
local a 5
di `a' + $b
capture noisily error 198
