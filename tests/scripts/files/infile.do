* infile in free format: separators, comma mode, quotes, types, notes, if/in,
* byvariable, value labels with automatic, and the errors.
infile a b c using in_comma
list
infile str3 s x y using in_free.raw, clear
list
infile byte a int b str1 c using in_free.raw, clear
describe, short
list
infile a b c using in_free.raw if b > 2, clear
list
infile a b c using in_free.raw in 2, clear
list
infile a b c using in_free.raw in 2/9, clear
list

* A value over 244 characters is cut; a file ending inside an observation.
infile str244 s x using in_long.raw, clear
display length(s[1]) "  " x[1]
infile a b c using in_short.raw, clear
list
infile a b c using in_short.raw if c < ., clear
list

* Text in numeric fields: its value label, or a new code with automatic.
label define sexes 1 male 2 female
infile sex:sexes n using in_text.raw, clear
list
list, nolabel
label drop sexes
infile sex n using in_text.raw, clear automatic
list
label list sex
label define kinds 5 female
infile kind:kinds n using in_text.raw, clear automatic
label list kinds

* byvariable: all values of the first variable, then the second.
infile a b using in_byvar.raw, byvariable(3) clear
list
infile a b using in_byvar.raw in 2/3, byvariable(3) clear
list
infile a b using in_byvar.raw, byvariable(4) clear
list

* Empty files empty the dataset.
infile a b using in_empty.raw, clear
describe, short
infile a b using in_blank.raw, clear
describe, short

* Errors.
set obs 1
cap noi infile a using in_free.raw
display _rc
clear
cap noi infile a using nothere.raw
display _rc
cap noi infile a using "."
display _rc
cap noi infile a using
display _rc
cap noi infile a
display _rc
cap noi infile a a using in_free.raw
display _rc
cap noi infile a using in_free.raw, byvariable(0)
display _rc
cap noi infile a using in_byvar.raw if a > 1, byvariable(2)
display _rc
cap noi infile a using in_free.raw, nosuch
display _rc
cap noi infile a using in_free.raw, using(x)
display _rc
cap noi infile a using in_free.raw in 0
display _rc
cap noi infile a using in_free.raw if nosuch > 1
display _rc
describe, short
set obs 2
generate g = _n
cap noi by g: infile a using in_free.raw, clear
display _rc
clear

* Dictionaries: fixed columns with implied decimals, a value label and
* variable labels; _lines, _firstlineoffile, _newline, %S, data after the
* closing brace; fixed-length records.
label define sexlbl 1 male 2 female
infile using in_fixed
describe
list
list, nolabel
infile using in_fixed in 2/3, clear
list, nolabel
infile using in_fixed if age > 10, clear
list, nolabel
infile using in_inline, clear
list
display "[" d[1] "]"
infile using in_lrecl, clear
list
infile using in_lrecl.dct, using(in_lrecl.raw) clear
list
clear
infile dictionary {
  str4 w
  _skip(2) n %2f
}
abcd  12
efgh   3
end
list
clear
infile dictionary using in_free.raw {
  a
  str1 b
}
list

* Dictionary errors.
clear
cap noi infile using in_badlines
display _rc
cap noi infile using in_nodict
display _rc
cap noi infile using in_open
display _rc
cap noi infile using in_badfmt
display _rc
cap noi infile using in_strlbl
display _rc
cap noi infile using in_badcol
display _rc
cap noi infile using in_twice
display _rc
cap noi infile using in_nofile
display _rc
cap noi infile using in_dup
display _rc
cap noi infile using in_longname
display _rc
cap noi infile using nothere
display _rc
cap noi infile using in_fixed, byvariable(2)
display _rc
describe, short
