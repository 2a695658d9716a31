* observation references: _n, _N, x[exp], running sums, tin()
set obs 5
generate t = _n
generate x = t * t
replace x = . in 3
generate n = _N - _n
generate p = x[_n-1]
generate q = x[_n+1]
generate r = x[1.9]
generate c = x[.]
generate s = sum(x)
list
char _dta[_TStvar] t
generate a = tin(2, 4)
generate b = twithin(2, )
generate e = tin(, 2)
list t a b e
generate double run = 1
replace run = run[_n-1] * 2 if _n > 1
list run
cap noi generate g = x[
cap noi generate g = _N[1]
cap noi generate g = tin(1)
cap noi generate g = Z.x
