* xlsimport and xlsexport. Workbooks made by openpyxl (gen_xlsx.py), with
* texts inline and in a shared-strings part, read here and compared value
* for value with what openpyxl reads from them (the _peer.csv files): types
* per column, dates and times, formulas as their saved values, booleans,
* empty and merged cells. Then a workbook written here, read back and
* compared with openpyxl's reading of the same workbook; ranges, sheets and
* the failures that leave the data (and an existing file) as they were.
foreach f in x_types x_shared {
  xlsimport using `f'.xlsx, firstrow clear
  describe
  tempfile imp
  quietly save `imp'
  insheet using `f'_peer.csv, clear
  foreach v of varlist _all {
    rename `v' p_`v'
  }
  merge using `imp'
  foreach v in id amount city_name born stamp code ok gap twice merged {
    local t : type `v'
    if substr("`t'", 1, 3) == "str" {
      assert `v' == p_`v'
    }
    else {
      assert reldif(`v', p_`v') < 1e-9 | (missing(`v') & missing(p_`v'))
    }
  }
}
drop p_* _merge
list
* the other sheet, a range, letters as names, every column as text
xlsimport using x_types.xlsx, sheet("Other") clear
list
xlsimport using x_types.xlsx, cellrange(B2:D4) clear
describe
list
xlsimport using x_types.xlsx, cellrange(F1) firstrow allstring clear
describe
list
* written here, read by openpyxl (x_export_peer.csv) and read back here
do x_export.do
xlsimport using x_export.xlsx, firstrow clear
describe
list in 1/5
tempfile imp
quietly save `imp'
insheet using x_export_peer.csv, clear
foreach v of varlist _all {
  rename `v' p_`v'
}
merge using `imp'
assert person_identifier == p_person_identifier & sex == p_sex & tag == p_tag
assert (usual_weekly_hours == p_usual_weekly_hours) | (missing(usual_weekly_hours) & missing(p_usual_weekly_hours))
assert (log_hourly_wage == p_log_hourly_wage) | (missing(log_hourly_wage) & missing(p_log_hourly_wage))
assert (day == p_day) | (missing(day) & missing(p_day))
* names as the first row, codes instead of labels, a named sheet
use people, example clear
keep in 1/4
xlsexport using plain.xlsx, firstrow(variables) nolabel sheet("Data")
xlsimport using plain.xlsx, sheet("Data") firstrow clear
list
* failures: a message and a code, the data and the old file as they were
cap noi xlsexport using plain.xlsx
di _rc
cap noi xlsexport using plain.xlsx, replace firstrow(names)
di _rc
cap noi xlsexport using plain.xlsx, replace sheet("a/b")
di _rc
cap noi xlsexport using nosuchdir/x.xlsx
di _rc
cap noi xlsimport using plain.xlsx
di _rc
cap noi xlsimport using nosuch.xlsx, clear
di _rc
cap noi xlsimport using x_export.do, clear
di _rc
shell head -c 600 plain.xlsx > cut.xlsx
cap noi xlsimport using cut.xlsx, clear
di _rc
cap noi xlsimport using plain.xlsx, sheet("Nope") clear
di _rc
cap noi xlsimport using plain.xlsx, cellrange(C3:A1) clear
di _rc
cap noi xlsimport using plain.xlsx, cellrange(A0) clear
di _rc
describe, short
xlsimport using plain.xlsx, sheet("Data") firstrow clear
list id age in 1/2
