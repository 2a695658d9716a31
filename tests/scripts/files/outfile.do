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
* Strings flush left by default, flush right with rjs, and with fjs as their
* display format says (%-6s left, %6s right); numbers stay right.
clear
input str4 a str4 b byte n
"x" "yy" 5
"long" "z" 12
end
format a %-6s
format b %6s
outfile using j1, noquote
shell cat j1.raw
outfile using j2, rjs
shell cat j2.raw
outfile using j3, fjs noquote
shell cat j3.raw
* with comma there is no padding to justify in
outfile using j4.csv, comma rjs
shell cat j4.csv
cap noi outfile using j5, rjs fjs
display _rc
* A dictionary keeps value labels: the name on each entry and the table in
* comment lines, one per value, that infile reads back (a text with double
* quotes in compound quotes). A table shared by two variables is written
* once; a table of a variable not written is not.
clear
input byte(q1 q2 r) str3 s
1 2 3 "a"
2 . 1 "b"
end
label define agree 1 "yes" 2 `"say "no""'
label define other 1 "one" 3 "three"
label values q1 agree
label values q2 agree
label values r other
label variable q1 "First question"
outfile q1 q2 s using d1, dictionary
shell cat d1.dct
label drop _all
infile using d1, clear
describe
label list
list
* nolabel leaves the labels out of the dictionary
clear
input byte q
1
end
label define yn 1 "yes"
label values q yn
outfile using d2, dictionary nolabel
shell cat d2.dct
* A table in the dictionary replaces one of the same name in memory, keeps
* the others; a comment that is not a whole definition is an ordinary one.
label drop yn
label define yn 1 "oui" 0 "non"
label define keep 7 "kept"
shell printf '%s\n' 'dictionary {' '  byte v:yn' '* label define yn 1 "ja"' '* label define yn 2' '* label define things later' '* label define yn 1.5 "half"' '}' '1' '2' > d3.dct
infile using d3, clear
label list
list
* the same in a dictionary typed in a do-file
clear
label drop _all
infile dictionary {
  byte v:yn "the v"
* label define yn 1 "ja"
* label define yn 2 `"a "b""'
}
1
2
end
list
label list
