* tonumeric and totext: string variables holding numbers made numeric and
* back, in place or into new variables, with stripped characters and a
* report of what cannot be converted.
clear
input str12 amount str8 code str6 pct
"1,234.5" "7" "12%"
"  42 " "008" "3.5%"
"" "NA" "."
"-0.25" "12" "100%"
"n/a" "x9" "7%"
end
* Text that is not a number stops the command before anything changes.
cap noi tonumeric amount code, generate(a c)
display _rc
describe, short
* strip() removes characters first; tomissing lets the rest become missing.
cap noi tonumeric amount, generate(a) strip(",")
tonumeric amount, generate(a) strip(",") tomissing
tonumeric pct, replace strip("%")
describe
list
* replace keeps the position, name and label; if/in select with generate().
label variable code "the code"
tonumeric code in 1/4, generate(c)
list code c
cap noi tonumeric code in 1/4, replace
display _rc
tonumeric code, replace tomissing
describe code
drop c
* Exactness: the smallest type that holds every value as written.
clear
input str20 s
"0.5"
"26.88"
"3000000000"
end
tonumeric s, generate(x)
tonumeric s in 1/1, generate(y)
describe x y
display x[2] == 26.88

* totext: the shortest exact form, or a display format; missing is empty.
clear
input double d float f byte b
0.1 26.88 1
1234567.891 0.5 .
. -3.25 .a
end
totext d f b, generate(ds fs bs)
list ds fs bs
describe ds fs bs
totext d, generate(d2) format(%9.2f)
list d2
totext f, replace
describe f
* Round trip through text keeps every double.
clear
set obs 50
generate double x = (_n - 25) / 7 * 10^(mod(_n, 7) - 3)
generate double x0 = x
totext x, replace
tonumeric x, replace
assert x == x0

* Errors: wrong kind of variable, options, names.
clear
input str4 s double n
"1" 2
end
cap noi tonumeric n, replace
display _rc
cap noi totext s, replace
display _rc
cap noi tonumeric s
display _rc
cap noi tonumeric s, replace generate(t)
display _rc
cap noi tonumeric s, generate(t u)
display _rc
cap noi tonumeric s, generate(n)
display _rc
cap noi tonumeric s, generate(1t)
display _rc
cap noi tonumeric nosuch, replace
display _rc
cap noi tonumeric s, replace bogus
display _rc
cap noi tonumeric s, replace strip("")
display _rc
cap noi totext n, generate(t) format(%5s)
display _rc
cap noi totext n, generate(t) format(abc)
display _rc
describe
* Names and options shorter than their abbreviations.
cap noi tonum s, replace
display _rc
cap noi totex n, replace
display _rc
cap noi tonumeric s, ge(t)
display _rc
cap noi tonumeric s, replace tomi
display _rc
cap noi totext n, generate(t) fo(%9.2f)
display _rc
