* XML: the dataset document round trip keeps every type, format, label,
* value label, characteristic and value (texts with markup characters,
* control characters and bytes that are not UTF-8 included); the
* spreadsheet form with names in its first row; documents with a document
* type declaration (entity expansion) and malformed documents refused.
clear
set obs 4
gen byte b = _n - 1
gen int i = 1000 * _n
replace i = .c in 4
gen long l = -2000000000 + _n
gen float f = _n / 3
gen double d = 1 / 7
replace d = 1e-300 in 2
replace d = .z in 3
replace d = -123456789.987654321 in 4
gen str20 s = "a & b < c > " + char(34) + "q" + char(34)
replace s = char(9) + "tab" + char(10) + "two" + char(13) in 2
replace s = char(1) + "ctl " + "caf" + char(233) in 3
replace s = "" in 4
label define yn 0 "no" 1 "yes & <maybe>"
label define other 5 "five"
label values b yn
label var d "A double's label & more"
label data "XML test data"
char _dta[note1] "dataset note <x>"
char d[source] "made here"
format d %12.4f
format s %-20s
format i %9.0gc
save orig
xmlsave t, legible
type t.xml
xmlsave t2
xmluse t, clear
describe
list b i l f d
label list
char list
foreach v of varlist _all {
  rename `v' o_`v'
}
merge using orig
foreach v in b i l f d s {
  assert `v' == o_`v'
}
* The compact form reads the same; a file in it has no indentation.
xmluse t2, clear doctype(dataset)
foreach v of varlist _all {
  rename `v' o_`v'
}
merge using orig
foreach v in b i l f d s {
  assert `v' == o_`v'
}

* The spreadsheet form: names in the first row, then values; missing
* numbers are empty cells. It reads back with names and types.
use orig, clear
xmlsave sheet, doctype(spreadsheet)
type sheet.xml
xmluse sheet, clear
describe
list b i l f d
* A workbook written elsewhere: headings made into names, skipped rows and
* cells empty, the first worksheet only.
xmluse xml_sheet, clear
describe
list

* Refused, the data unchanged: a document type declaration (entity
* expansion, an external entity), an undefined entity, a document cut
* short, a value that is not a number, too many values, a bad type, a
* document of another kind, a worksheet too sparse for its size, the
* wrong doctype(); changed data without clear; no such file; an existing
* file without replace.
use orig, clear
cap noi xmluse xml_lol, clear
di _rc
cap noi xmluse xml_ext, clear
di _rc
cap noi xmluse xml_undef, clear
di _rc
shell head -c 300 t.xml > cut.xml
cap noi xmluse cut, clear
di _rc
cap noi xmluse xml_badnum, clear
di _rc
cap noi xmluse xml_extra, clear
di _rc
cap noi xmluse xml_badtype, clear
di _rc
cap noi xmluse xml_other, clear
di _rc
cap noi xmluse xml_sparse, clear
di _rc
cap noi xmluse sheet, clear doctype(dataset)
di _rc
cap noi xmluse t, clear doctype(spreadsheet)
di _rc
cap noi xmluse t, clear doctype(table)
di _rc
replace b = 1 in 1
cap noi xmluse t
di _rc
cap noi xmluse nosuch, clear
di _rc
cap noi xmlsave t
di _rc
describe, short
