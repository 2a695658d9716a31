* insheet keeps the data's meaning: R's NA, other missing tokens, a note for
* a column that turns to text, float only when it holds every value as
* written; outsheet writes commas to .csv and numbers that read back exactly.

* A file written by R's write.csv (gen_rcsv.R): NA is missing in the numeric
* columns; in the text column an unquoted NA is empty, a quoted "NA" is text.
insheet using cs_rna.csv
describe
list
display price[1] == 26.88 & price[5] == 0.1
display "[" name[2] "] [" name[3] "]"
count if missing(price)

* missing() names more tokens; without it, "n/a" makes a text column (noted).
insheet using cs_tokens.csv, clear
describe
list
insheet using cs_tokens.csv, clear missing("-99" n/a)
describe
list
* A column turning to text late is noted once with the first text value.
insheet using cs_latetext.csv, clear
list

* float when float holds every value exactly, double otherwise (noted);
* double and float force one of them.
insheet using cs_decimals.csv, clear
describe
display dec[1] == 26.88 & float(exact[2]) == exact[2]
insheet using cs_decimals.csv, clear double
describe
insheet using cs_decimals.csv, clear float
describe

* outsheet: commas for a .csv file, tabs otherwise; numbers in their shortest
* exact form (floats as the float shows them), dates and formats with
* formatted.
clear
input id double d float f str6 s
1 0.1 26.88 "a b"
2 1234567.891 0.5 "c"
3 . . ""
4 1e-10 -3.25 "x,y"
end
replace d = 1/3 in 3
format d %6.2f
outsheet using o1.csv
shell cat o1.csv
outsheet using o1.txt
shell cat o1.txt
outsheet using o1.csv, tab replace
shell cat o1.csv
outsheet using o1.csv, formatted replace
shell cat o1.csv
* Round trip: the doubles come back bit for bit.
clear
set obs 200
generate double x = (_n - 100) / 7 * 10^(mod(_n, 9) - 4)
generate double y = exp(_n / 10)
generate float z = _n / 3
save rt2
outsheet using rt2.csv
insheet using rt2.csv, clear
describe
rename x x_csv
rename y y_csv
rename z z_csv
merge using rt2
assert x == x_csv & y == y_csv & float(z_csv) == z
display "round trip exact"

* infile: NA is missing without a note, other text is noted.
infile a b c using in_na.raw, clear
list

* Errors: options that conflict or are empty.
cap noi insheet using cs_tokens.csv, clear missing()
display _rc
cap noi insheet using cs_tokens.csv, clear missing("")
display _rc
cap noi insheet using cs_tokens.csv, clear double float
display _rc
cap noi outsheet using o2.csv, comma tab
display _rc
cap noi insheet using cs_tokens.csv, clear missing("x") bogus
display _rc
