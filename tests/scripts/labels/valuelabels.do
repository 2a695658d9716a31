* Value labels: define, add, modify, replace, attach, list, drop, save, and
* their use by list, describe and expressions
input byte sex int region str5 name
0 1 "ann"
1 2 "bob"
1 3 "cy"
0 . "dee"
1 2 "ed"
end
label define sexlbl 0 "female" 1 "male"
label define reg 1 North 2 "South West" 3 `"the "east""'
label values sex sexlbl
label values region reg
list
list, nolabel
list sex if sex == "male":sexlbl
count if region == "South West":reg
* a text the table does not hold is missing, with a note
count if region == "nowhere":reg
describe
* fix widens the display format to the longest text; nofix leaves it
label define long 1 "a very long label text", nofix
label values sex long, nofix
describe sex
label values sex long
describe sex
label values sex sexlbl
* add refuses to change, modify changes and an empty text removes
cap noi label define sexlbl 1 "man", add
label define sexlbl 2 "other", add
label define sexlbl 1 "man", modify
label define sexlbl 2 "", modify
label list sexlbl
cap noi label define sexlbl 5 "five"
label define sexlbl 7 "seven", replace
label list sexlbl
label define sexlbl 0 "female" 1 "male", replace
* values in descending order and negative values are kept ascending
label define neg 5 five -3 "minus three" 0 zero -2147483647 lowest 2147483620 highest
label list neg
label dir
* bad values
cap noi label define bad 1.5 "x"
cap noi label define bad . "x"
cap noi label define bad .a "x"
cap noi label define bad 2147483621 "x"
cap noi label define bad -2147483648 "x"
cap noi label define bad x "x"
cap noi label define bad 1
cap noi label define bad 1 "x
cap noi label define bad 1 "x" 1 "y"
cap noi label define 1bad 1 "x"
cap noi label define
cap noi label define bad 1 "x", bogus
cap noi label define bad 1 "x", add replace
label dir
* strings cannot carry value labels; nothing is attached on failure
cap noi label values region name reg
describe region name
* a label may be attached before it is defined; . detaches
label values region later
list region in 1/2
label define later 2 "two"
list region in 1/2
label values region .
describe region
label values region reg
* drop
cap noi label drop nosuch
cap noi label drop
label drop neg later
label dir
cap noi label list neg
* save writes define commands that read back
label save sexlbl reg using labs
cap noi label save sexlbl using labs
label save using labs, replace
label drop _all
label dir
do labs
label list
cap noi label save nosuch using other
* preserve keeps the tables; drop _all keeps them, clear removes them
preserve
label drop _all
restore
label dir
drop _all
label dir
clear
label dir
* subcommands and their abbreviations
cap noi label de x 1 "a"
label l x
cap noi label d x 1 "b"
cap noi label bogus
cap noi label
* the label macro function
label define yn 0 no 1 "yes indeed"
input v
1
end
label values v yn
local a : label yn 1
local b : label (v) 0
local c : label yn 7
local d : label yn 7, strict
local e : label yn maxlength
local f : label (v) 1
display "`a'|`b'|`c'|`d'|`e'|`f'"
cap noi local g : label yn x
cap noi local g : label (nosuch) 1
