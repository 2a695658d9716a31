* outfile: the blank-separated layout under display formats, labels and
* quotes, comma, wide, nolabel, noquote, if/in, line breaks at 80 columns,
* dictionaries read back exactly by infile, overwriting and errors.
clear
input byte id str8 name float x double y
1 "Ann" 1.5 .
2 "Bob" -2 .b
3 "C,D" 1234567 3
end
replace name = "Bob " + char(34) + "B" + char(34) in 2
label define yes 3 "three"
label values y yes
outfile using o1
shell cat o1.raw
outfile id name y using o2.csv, comma nolabel
shell cat o2.csv
outfile name x using o3 if id > 1, comma noquote
shell cat o3.raw
format x %12.0fc
outfile x using o4 in 3, comma
shell cat o4.raw
outfile x y using o4, replace
shell cat o4.raw
* Without wide an observation continues on a new line past 80 columns.
clear
set obs 2
forvalues k = 1/9 {
  generate double v`k' = _n * 1000 + `k'
}
format v* %10.0g
outfile using o5
shell cat o5.raw
outfile using o6, wide
shell wc -l < o6.raw
shell cut -c 1-40 o6.raw
shell cut -c 41- o6.raw
* A dictionary and exact values: infile restores what was written.
clear
input byte b int i long l float f double d str6 s
-5 300 100000 0.1 3.141592653589793 "a b"
. .a 7 -2.5e-8 1e300 ""
100 -1 -2147483 16777216 .z "it's"
end
label variable d "Pi, and a large number"
label variable f "A float"
label define bl 100 "top"
label values b bl
outfile using o7, dictionary
shell cat o7.dct
preserve
infile using o7, clear
describe
list, nolabel
assert d[1] == 3.141592653589793 & d[2] == 1e300 & f[1] == float(0.1) & f[2] == float(-2.5e-8)
assert i[2] == .a & b[2] == . & b[3] == 100 & l[1] == 100000 & s[3] == "it's" & s[2] == ""
restore
* A string holding a double quote is written in single quotes, and reads back.
replace s = `"say "hi""' in 1
outfile s using o8, dictionary
shell cat o8.dct
infile using o8, clear
list
* Errors: an existing file without replace, bad options, no variables.
clear
input x
1
end
outfile using o9
cap noi outfile using o9
display _rc
cap noi outfile using o9, comma dictionary
display _rc
cap noi outfile using o9, dictionary noquote replace
display _rc
cap noi outfile using o9, bogus replace
display _rc
cap noi outfile nosuch using o9, replace
display _rc
cap noi outfile x
display _rc
cap noi outfile using nodir/o9
display _rc
shell cat o9.raw
drop x
cap noi outfile using o10
display _rc
