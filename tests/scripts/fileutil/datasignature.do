* datasignature: the expected signatures come from gen_datasig.py, which
* computes the hash from its definition.
datasignature
assert "`r(datasignature)'" == "0:0:14650fb0739d0383"
input byte x str3 s double y
1 "a" 1.5
2 "bb" -2.25
3 "" 0
end
datasignature
assert "`r(datasignature)'" == "3:3:ae403dbadc352fbb"
local base "`r(datasignature)'"
cap noi datasignature confirm
assert _rc == 111
datasignature set
assert "`_dta[datasignature]'" == "`base'"
datasignature confirm
* a value changes, then changes back
quietly replace y = 7 in 2
datasignature
assert "`r(datasignature)'" == "3:3:2f0598163258ab25"
cap noi datasignature confirm
assert _rc == 9
datasignature report
quietly replace y = -2.25 in 2
datasignature confirm
* -0 is the value 0
quietly replace y = -0 in 3
datasignature confirm
* a text, a missing value, a name, a type, the order of variables, one more observation
quietly replace s = "b" in 2
cap datasignature confirm
assert _rc == 9
quietly replace s = "bb" in 2
quietly replace x = . in 1
cap datasignature confirm
assert _rc == 9
quietly replace x = 1 in 1
rename y z
cap datasignature confirm
assert _rc == 9
rename z y
* the same values in another storage type
preserve
drop x
gen int x = _n
order x s y
cap datasignature confirm
assert _rc == 9
restore
datasignature confirm
order y
cap datasignature confirm
assert _rc == 9
order x s y
quietly set obs 4
cap datasignature confirm
assert _rc == 9
drop in 4
datasignature confirm
* the signature travels with the dataset
quietly save sig.dta
quietly use sig.dta, clear
datasignature confirm
* errors
cap noi datasignature nosuch
assert _rc == 198
cap noi datasignature set extra
assert _rc == 198
