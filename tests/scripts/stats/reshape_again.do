* reshape: the bare form with the settings remembered in _dta, j() value
* lists restricting and declaring j, reshape query and reshape error, and
* the data untouched after each failure.

* --- nothing remembered yet
clear
input id inc1990 inc1991 inc1995 inc2000 byte sex
1 10 11 15 20 0
2 20 21 25 30 1
2 22 23 27 32 1
end
reshape query
capture noisily reshape long
display _rc
capture noisily reshape wide
display _rc
reshape error

* --- a failed check: reshape error lists every observation of the bad ids
capture noisily reshape long inc, i(id) j(year 1990 1991 1995 1996)
display _rc
reshape error
reshape query
describe, short
replace id = 3 in 3

* --- a j() list: inc2000 is not listed and is carried along, 1996 has no
* variable and gives missing values
reshape long inc, i(id) j(year 1990 1991 1995 1996)
list
char list
reshape query
assert _N == 12

* --- the settings go with the data through save and use

save rsagain
clear
use rsagain
reshape long
reshape query
reshape wide
list
describe
reshape wide
reshape long
assert _N == 12

* --- wide fails: the data stay long, reshape error shows all the rows
replace sex = 1 in 1
replace sex = 0 in 7
capture noisily reshape wide
display _rc
describe, short
reshape error
replace sex = 0 in 1
replace sex = 1 in 7
* a j value not listed
replace year = 1997 in 2
replace year = 1998 in 10
capture noisily reshape wide
display _rc
reshape error
* no longer a problem: reshape error says so
replace year = 1991 in 2
replace year = 1991 in 10
reshape error
* duplicated i and j: every observation of each pair, by id and j
replace year = 1990 in 2
replace year = 1995 in 12
capture noisily reshape wide
display _rc
reshape error
* missing j
replace year = 1991 in 2
replace year = 1996 in 12
replace year = . in 8
capture noisily reshape wide
display _rc
reshape error
replace year = 1996 in 8
* the failures left the remembered settings alone
reshape query
return list

* --- a j() list for wide: only the listed values, a listed value without
* observations makes missing variables; the list is remembered for long
keep if year != 1996
reshape wide inc, i(id) j(year 1990 1991 1993 1995)
list
reshape query
reshape long
list if id == 1

* --- numlists in j()
clear
input id x1 x2 x3 x4 x5
1 10 20 30 40 50
2 11 21 31 41 51
end
reshape long x, i(id) j(t 1(2)5)
list
reshape wide
list
reshape long x, i(id) j(t 2/4)
list in 1/3

* --- string j with a list
clear
input str5 city str6 sex pop
"Oslo" "male" 10
"Oslo" "female" 11
"Rome" "male" 20
"Rome" "other" 22
end
capture noisily reshape wide pop, i(city) j(sex female male) string
display _rc
reshape error
reshape wide pop, i(city) j(sex female male other none) string
list
reshape long
list
reshape query
return list

* --- bad j() lists and subcommands
clear
input id x1 x2
1 1 2
end
capture noisily reshape long x, i(id) j(t 1 2.5)
display _rc
capture noisily reshape long x, i(id) j(t -1 2)
display _rc
capture noisily reshape long x, i(id) j(t 1 2 1)
display _rc
capture noisily reshape long x, i(id) j(t 1 to)
display _rc
capture noisily reshape long x, i(id) j(t b a b) string
display _rc
capture noisily reshape long x, i(id) j(t 3 4)
display _rc
capture noisily reshape query x
display _rc
capture noisily reshape error, i(id)
display _rc
capture noisily reshape sideways
display _rc
list
