* tabulate of byte, int and long variables, which are counted from their
* cells as stored: every table must match the one of the same values held
* as doubles (counted from decoded values), with missing values, the
* missing option, indicators, a range and a sample large enough to be
* shared between two threads (more than 2^20 observations)
set matsize 1100
set obs 1100003
generate long g = mod(_n * 7919, 1000) - 500
replace g = .a if mod(_n, 1013) == 0
replace g = . if mod(_n, 2029) == 0
replace g = .z in 5
generate int gi = g
generate byte gb = mod(_n, 5) - 2
replace gb = -127 in 7
replace gb = 100 in 8
replace gb = .b in 9/11
foreach v in g gi gb {
  quietly generate double `v'd = `v'
}
program define sametab
  args a b opts
  quietly tabulate `a' `opts' matcell(A) matrow(RA)
  local na = r(N)
  local ra = r(r)
  quietly tabulate `b' `opts' matcell(B) matrow(RB)
  local same = `na' == r(N) & `ra' == r(r) & rowsof(A) == rowsof(B)
  if `same' {
    forvalues i = 1/`=rowsof(A)' {
      if A[`i', 1] != B[`i', 1] | RA[`i', 1] != RB[`i', 1] local same 0
    }
  }
  display "`a' `opts': N = `na', levels = `ra', same as `b': `same'"
end
foreach v in g gi gb {
  sametab `v' `v'd ","
  sametab `v' `v'd ", missing"
  sametab `v' `v'd "in 1000/1050000,"
  sametab `v' `v'd "in 1000/1050000, missing"
}
* the counts by construction: of 1..1,100,003, residues 1, 2 and 3 mod 5
* occur 220,001 times, 0 and 4 220,000 times; less the cells replaced in
* 7/11 (residues 2, 3, 4, 0, 1), that is 219,999 of -2 and of 2 and 220,000
* of -1, 0 and 1
tabulate gb, missing
* indicators
tabulate gb, generate(ib)
tabulate gbd, generate(id)
local diff 0
forvalues j = 1/7 {
  quietly count if ib`j' != id`j'
  local diff = `diff' + r(N)
}
display "indicator cells that differ: `diff'"
* a long variable spanning too many values for direct counting
generate long w = cond(mod(_n, 3), -2000000000, 2000000000)
replace w = 7 in 3
tabulate w
* all missing
replace gi = .
cap noi tabulate gi
display _rc
tabulate gi, missing
