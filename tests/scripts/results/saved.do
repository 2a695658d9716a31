* r(), e() and s() stores: posting, class rules, listings, lookups
set obs 10
generate x = _n
count if x > 3
display r(N)
return list
* an r-class program: pending results become r() only when it ends
program define myr, rclass
  display "inside: " r(N)
  return scalar a = 2+3
  return local b "hello world"
  return local c = 2*21
  return local empty ""
  display "still: " r(N) " a is " r(a)
end
myr
return list
display r(a) + 1 " `r(b)' " r(c)
display "[`r(empty)']" " [`r(N)']"
* an r-class program that fails leaves r() alone
program define failr, rclass
  return scalar z = 1
  error 198
end
capture failr
display _rc " " r(a) " " r(z)
* return add keeps what the caller left, unless the program set it itself
program define addr, rclass
  return scalar a = 99
  return add
  return scalar n2 = 7
end
addr
return list
* return clear empties the pending set
program define clr, rclass
  return scalar q = 1
  return clear
  return scalar w = 2
end
clr
return list
* 25 scalars are all readable
program define many, rclass
  forvalues i = 1/25 {
    return scalar s`i' = `i'*10
  }
end
many
display r(s1) " " r(s20) " " r(s21) " " r(s25)
* class rules
program define notr
  return scalar a = 1
end
capture noisily notr
display _rc
program define note
  ereturn scalar a = 1
end
capture noisily note
display _rc
program define nots
  sreturn local a 1
end
capture noisily nots
display _rc
capture noisily return local a b
display _rc
* bad subcommands and extra words
capture noisily return
display _rc
capture noisily return nonsense
display _rc
capture noisily return clear now
display _rc
capture noisily return dir
display _rc
capture noisily return drop
display _rc
capture noisily return list junk
display _rc
* s-class
program define mys, sclass
  sreturn local k "kept"
  sreturn local m = 1+1
end
mys
sreturn list
display "`s(k)' `s(m)'"
sreturn clear
sreturn list
display "[`s(k)']"
* e-class: direct posting, list, clear
program define mye, eclass
  ereturn scalar N = 12
  ereturn local cmd "mye"
end
mye
ereturn list
display e(N) " `e(cmd)'"
display e(nosuch) " [`e(nosuch)']"
ereturn clear
ereturn list
display e(N)
* the estimation-sample marker follows the observations
generate touse = mod(x, 3) == 0
program define mys2, eclass
  ereturn post, esample(touse) obs(3) depname(x)
end
mys2
ereturn list
count if e(sample)
list x if e(sample), noobs
generate neg = -x
sort neg
list x if e(sample), noobs
capture confirm variable touse
display _rc
drop if x == 6
list x if e(sample), noobs
