* Series sets: creation with each omission rule, sorting, listing, summaries,
* selection, loading into the dataset, derived sets and every error message.
clear
set obs 6
gen byte b = _n
gen int i = _n * 100
gen long l = _n * 100000
gen float f = _n / 4
gen double d = _n / 3
gen str3 s = "a" + string(_n)
replace f = . in 2
replace d = .a in 2
replace d = . in 4
replace s = "" in 5
replace b = 7 - _n
serset create b f d s
serset dump
serset create f d, omitanymiss
serset dump
serset create f d, omitallmiss
serset dump
serset create f d if _n != 3, omitnothing
serset dump
serset create d f, omitdupmiss
serset dump
serset create b i l in 2/5, sort(b)
serset dump
serset dir
serset summarize
serset set 1
serset summarize
serset sort 2 1
serset dump
serset drop 3
serset dir
serset set 5
serset drop
serset dir
* errors
cap noi serset
di _rc
cap noi serset frobnicate
di _rc
cap noi serset set 3
di _rc
cap noi serset set 2000
di _rc
cap noi serset create f d, omitanymiss omitnothing
di _rc
cap noi serset create f d, omitall omitdup
di _rc
cap noi serset create f d, omitan
di _rc
cap noi serset create
di _rc
cap noi serset create nosuch
di _rc
cap noi serset create f, sort(nosuch)
di _rc
cap noi serset drop 77
di _rc
cap noi serset dir extra
di _rc
* a record of more than 1600 bytes
gen str244 s1 = "x"
gen str244 s2 = "x"
gen str244 s3 = "x"
gen str244 s4 = "x"
gen str244 s5 = "x"
gen str244 s6 = "x"
gen str244 s7 = "x"
cap noi serset create s1 s2 s3 s4 s5 s6 s7
di _rc
serset create s1 s2 s3 s4 s5 s6
serset dir
drop s1-s7
* loading a set into the dataset
serset set 0
cap noi serset use
di _rc
serset use, clear
list
describe
* derived sets
clear
set obs 9
gen x = _n
gen y = mod(_n, 4) * 10
serset clear
serset create y x
serset create_xmedians 1 2 3
serset dump
serset set 0
serset create_cspline 1 2 5
serset dump
cap noi serset create_cspline 1 9
di _rc
* the count of bands or points, out of range or not a number; a missing
* variable number
cap noi serset create_xmedians 1 2 0
di _rc
cap noi serset create_xmedians 1 2 201
di _rc
cap noi serset create_cspline 1 2 1
di _rc
cap noi serset create_cspline 1 2 100001
di _rc
cap noi serset create_cspline 1 2 x
di _rc
cap noi serset create_cspline 1
di _rc
serset drop 1
serset set 2
serset reset_id
serset dir
serset clear
serset dir
cap noi serset summarize
di _rc
