* tsdeclare: declaring the time and panel variables, the checks, the report,
* and the operators that follow it. Expected sums from gen_tsdeclare.py:
*   L.sales: N=265 sum=7340.99      F.sales: N=263 sum=7509.41
*   D.sales: N=257 sum=266.18       L2.sales: N=236 sum=6376.81
*   S2.sales: N=228 sum=403.43      D2.staff: N=205 sum=-35
*   L3.staff: N=212 sum=7412        F2.staff: N=242 sum=8658
*   panels 40 gapped 28 full 10
*   regress N=257 b_l=0.0200602812 b_s=0.004519566694 b_c=27.80833453
use firms, example clear
* nothing declared yet
cap noi tsdeclare
di _rc
cap noi list L.sales in 1/2
di _rc
cap noi generate bad = D.sales
di _rc
* shuffled first: tsdeclare sorts by panel and time
sort sales
tsdeclare id year
return list
assert r(balanced) == 0
di "`: char _dta[_TStvar]' `: char _dta[_TSpanel]'"
describe, short
* firm 3 has gaps after 2003 and 2006 (and no sales in 2003)
list id year sales L.sales F.sales D.sales L2.sales if id == 3, noobs sep(0)
* the operators against the independent sums
program define chk
  args op n s
  quietly summarize `op'
  if r(N) != `n' | reldif(r(sum), `s') > 1e-6 {
    di as err "`op': N " r(N) " sum " %14.8g r(sum) ", expected `n' `s'"
    exit 9
  }
  di "`op' ok"
end
chk L.sales 265 7340.99
chk F.sales 263 7509.41
chk D.sales 257 266.18
chk L2.sales 236 6376.81
chk S2.sales 228 403.43
chk D2.staff 205 -35
chk L3.staff 212 7412
chk F2.staff 242 8658
* the same through generate and expressions
generate double l2 = L2.sales
generate double dd = sales - L.sales
quietly summarize l2
assert r(N) == 236 & reldif(r(sum), 6376.81) < 1e-6
quietly summarize dd
assert r(N) == 257 & reldif(r(sum), 266.18) < 1e-6
* a lag never reaches into the previous firm
count if id != id[_n-1] & L.staff < .
* a numlist of lags in a varlist
list id year staff L(1/3).staff if id == 3, noobs sep(0)
* regress on a lag
regress sales L.sales staff
assert e(N) == 257
assert reldif(_b[L.sales], 0.0200602812) < 1e-7
assert reldif(_b[staff], 0.004519566694) < 1e-7
assert reldif(_b[_cons], 27.80833453) < 1e-7
* a balanced panel: the ten firms observed every year
by id: generate n = _N
keep if n == 10
tsdeclare id year
assert r(balanced) == 1 & r(tmin) == 2000 & r(tmax) == 2009
* the settings are reported again, and the data sorted again
sort sales
tsdeclare
assert "`r(panelvar)'" == "id" & "`r(timevar)'" == "year"
list id year L.year in 1/2, noobs
* clear removes the declaration
tsdeclare, clear
cap noi list L.sales in 1/2
di _rc
* a time series without panels, with a gap, delta and format
clear
input t x
2 20
4 40
6 60
10 100
end
tsdeclare t
assert r(balanced) == 0
tsdeclare t, delta(2) format(%4.0f)
assert r(balanced) == 0 & r(delta) == 2
list t x L.x F.x D.x, noobs
describe t
tsdeclare
drop in 4
tsdeclare t, delta(2)
assert r(balanced) == 1
* a step of 3 is a gap when delta is 1
replace t = 5 in 2
tsdeclare t
assert r(gaps) == 1
* bad input
replace t = 4.5 in 2
cap noi tsdeclare t
di _rc
replace t = 2 in 2
cap noi tsdeclare t
di _rc
generate str1 s = "a"
cap noi tsdeclare s
di _rc
cap noi tsdeclare t, delta(0)
di _rc
cap noi tsdeclare t, delta(1.5)
di _rc
cap noi tsdeclare t, format(%s)
di _rc
cap noi tsdeclare x t x
di _rc
cap noi tsdeclare t t
di _rc
cap noi tsdeclare t, clear
di _rc
cap noi tsdeclare L.t
di _rc
cap noi tsdeclare nosuch
di _rc
* repeated times within a panel
clear
input id t
1 1
1 2
2 1
2 1
end
cap noi tsdeclare id t
di _rc
replace t = 2 in 4
tsdeclare id t
* missing time values are left out of the ranges
replace t = . in 1
tsdeclare id t
