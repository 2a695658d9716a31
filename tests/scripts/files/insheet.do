* insheet and outsheet: header rows, delimiters, quoting, types, missing
* values, labels, round trips and malformed files.
insheet using cs_quoted.csv
describe
list
display "[" note[1] "]  [" Name[3] "]"
insheet using cs_tab.tsv, clear
describe
list
display length(city[1])
insheet using cs_nohead.csv, clear
list
insheet a b using cs_nohead.csv, clear names
list
insheet using cs_nohead.csv, clear nonames
list
insheet using cs_semi.txt, clear delimiter(";")
list
insheet using cs_types.csv, clear
describe
list
display %21x d[2]
insheet using cs_types.csv, clear double
describe d
insheet using cs_short.csv, clear
list
insheet using cs_crlf.csv, clear
list
insheet using cs_mixed.csv, clear nonames
describe
list

* outsheet: tab by default, comma, labels, quoting, missing values, if/in.
clear
input id str8 name x y
1 "Ann" 1.5 .
2 "Bob" -2 .b
3 "C,D" 1234567 3
end
replace name = "Bob " + char(34) + "B" + char(34) in 2
label define yes 3 "three"
label values y yes
outsheet using out1
shell cat out1.out
outsheet id name y using out2.csv, comma nolabel
shell cat out2.csv
outsheet name x using out3.csv if id > 1, comma noquote nonames
shell cat out3.csv
format x %12.0fc
outsheet x using out4.csv in 3, comma formatted
shell cat out4.csv
outsheet x using out4.csv in 3, delimiter(";") replace formatted
shell cat out4.csv

* Round trip: every value comes back exactly when its format shows it whole.
clear
set obs 5
generate byte b = _n * 20 - 50
generate int i = _n * 10000 - 30000
generate long l = _n * 400000000 - 1000000000
generate float f = _n / 4
generate double d = _n / 3
format d %20.0g
generate str12 s = "row " + string(_n) + ", q" + char(34)
replace b = .c in 2
save rt
outsheet using rt.csv, comma
insheet using rt.csv, clear double
describe
foreach v in b i l f d s {
  rename `v' `v'_csv
}
merge using rt
foreach v in b i l f d s {
  assert `v' == `v'_csv
}
display "round trip exact"

* Errors: unclosed quote, extra fields, empty files, options, existing files.
cap noi insheet using cs_quote.csv, clear
display _rc
cap noi insheet using cs_ragged.csv, clear
display _rc
cap noi insheet using cs_empty.csv, clear
display _rc
cap noi insheet using cs_header.csv, clear
display _rc
cap noi insheet using nothere.csv, clear
display _rc
cap noi insheet using ".", clear
display _rc
cap noi insheet using cs_tab.tsv, clear comma tab
display _rc
cap noi insheet using cs_tab.tsv, clear delimiter("ab")
display _rc
cap noi insheet a b c using cs_nohead.csv, clear
display _rc
cap noi insheet using cs_tab.tsv
display _rc
cap noi insheet 1a using cs_nohead.csv, clear
display _rc
describe, short
cap noi outsheet using out1
display _rc
cap noi outsheet using nofolder/x.csv
display _rc
cap noi outsheet using x.csv, comma delimiter(";")
display _rc
cap noi outsheet nosuch using x.csv
display _rc
clear
cap noi outsheet using x.csv
display _rc
