* Variable labels and the dataset label
input income age
10 30
20 40
end
label variable income "Annual income (thousands)"
label var age Age in years
label data "Survey of 2026"
describe
* a label over 80 characters is cut with a note
label variable income "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
local l : variable label income
display length("`l'")
label data "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
* an empty text removes the label; abbreviations find the variable
label variable inc
label data
describe
label variable inc `"with "quotes""'
local l : variable label income
display `"`l'"'
cap noi label variable nosuch "x"
cap noi label variable
cap noi label variable income "open
* renaming keeps the label, dropping removes it with the variable
rename income earnings
describe earnings
drop earnings
generate earnings = 1
describe earnings
