* An exact fit has zero standard errors: the interval is b plus or minus
* t times 0, so both limits are the coefficient
set obs 6
generate x = _n
generate y = 1 + 2 * x
regress y x
matrix list e(V)
