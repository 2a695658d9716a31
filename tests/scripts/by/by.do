* The by prefix: groups, sorting, headers, running totals, rc0, refusals
input g h x str3 s
2 1 5 "b"
1 2 3 "a"
2 1 .  "b"
1 1 4 "a"
3 2 1 "c"
1 2 2 "a"
end
* not sorted: r(5); bysort sorts first
cap noi by g: generate n = _n
bysort g: generate n = _n
list g n
by g: generate N = _N
by g: generate first = _n == 1
by g: replace x = 0 if x == .
list g x N first
* running sums restart in each group; messages are reported once
by g: generate cum = sum(x)
by g: generate y = x / (g - 1)
by g: replace y = 1 if _n == 2
list g x cum y
* headers before list and count, with value labels and string values
label define gl 1 "one" 2 "two" 3 "three"
label values g gl
by g: count if x > 2
by s, sort: list x
* two group variables and a sort-only part
by g h, sort: generate k = _n
list g h k
sort g x
by g (x): generate rank = _n
list g x rank
cap noi by g (h): generate z = 1
sort h
cap noi by g: generate z = 1
* quietly suppresses the headers
quietly bysort g: count
* drop and keep under by remove observations once, at the end
preserve
by g, sort: drop if _n > 1
list g
restore
preserve
by g, sort: keep if _n == _N
list g x
restore
* assert and rc0
sort g
cap noi by g: assert x < 5
by g, rc0: assert x < 5
* refusals
cap noi by g: sort x
cap noi by g: display "hi"
cap noi by g: label list
cap noi by g: list in 1/2
cap noi by g: drop x
cap noi by g
cap noi by : list
cap noi by g (h) (x): list
cap noi by nosuch: list
cap noi by g, bogus: list
cap noi by L.g: list
cap noi by g: nosuchcommand
* an empty dataset runs nothing
drop _all
set obs 0
generate a = 1
bysort a: generate b = 2
* programs: byable(recall) runs per group and sees the whole dataset,
* byable(onecall) runs once, others are refused
clear
input g x
1 10
1 20
2 30
end
program define perg, byable(recall)
	display "_by()=" _by() " last=" _bylastcall() " index=" _byindex() " n1=" _byn1() " n2=" _byn2() " N=" _N
end
sort g
by g: perg
program define hush, byable(recall, noheader)
	display "group " _byindex()
end
by g: hush
program define once, byable(onecall)
	display "once: _by()=" _by() " n2=" _byn2()
end
by g: once
program define notby
	display "never"
end
cap noi by g: notby
display _by() " " _bylastcall() " " _byn1() " " _byn2()
cap noi display _byindex()
* error 2000 under by ends the run quietly
program define stopper, byable(recall, noheader)
	display "group " _byindex()
	error 2000
end
by g: stopper
display "after the stop"
* summarize runs under by with headers
by g: summarize x
