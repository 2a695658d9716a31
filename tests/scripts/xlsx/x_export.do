* The workbook that xlsx.do and gen_xlsx.py both read: value labels as text,
* a daily date, a float, a string with an empty value, missing values.
use people, example clear
keep in 1/12
gen day = mdy(1, 1, 1999) + 30 * id
format day %td
replace day = . in 3
gen str8 tag = "t" + string(id)
replace tag = "" in 4
replace hours = .a in 5
label variable tag ""
xlsexport id sex hours lnwage day tag using x_export.xlsx, firstrow(varlabels) replace
