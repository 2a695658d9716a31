* dsort (directions per key), vallist (distinct values into r() and a
* local) and findvar (names by pattern, labels by text).
clear
input str6 make price weight foreign
"amc" 4099 2930 0
"buick" 5788 3860 0
"audi" 9690 2830 1
"bmw" . 2650 1
"dodge" 3984 3860 0
"fiat" 4296 2130 1
end
label variable price "Price in dollars"
label variable weight "Weight (lbs.)"
label variable foreign "Car origin"
dsort -price
list make price
dsort -price, missinglast
list make price
dsort foreign -weight
list make foreign weight
display "`: sortedby'"
dsort +weight -make
list make weight
dsort -make
list make
* vallist
vallist weight
display r(r) " " r(N)
vallist make if foreign, local(cars)
display `"`cars'"'
foreach c of local cars {
  display "`c'"
}
vallist price, local(p) separator(",")
display "`p'"
vallist price, missing
vallist price in 1/3
replace make = "a b" in 1
replace make = `"say "x""' in 2
vallist make
display r(values)
* findvar
findvar p* w*
display r(varlist) " " r(k)
findvar, label("dollars")
findvar *, label(ORIGIN)
findvar ?ake
findvar zz*
display r(k)
* Errors.
cap noi dsort
display _rc
cap noi dsort -nosuch
display _rc
cap noi dsort - price
display _rc
cap noi dsort price, bogus
display _rc
cap noi vallist
display _rc
cap noi vallist price weight
display _rc
cap noi vallist price, local(1x)
display _rc
cap noi vallist nosuch
display _rc
cap noi findvar
display _rc
cap noi findvar, label()
display _rc
cap noi findvar p*, nosuch
display _rc
* Names and options shorter than their abbreviations.
cap noi dsor price
display _rc
cap noi dsort -price, missing
display _rc
cap noi vallis price
display _rc
cap noi vallist price, lo(x)
display _rc
cap noi findva p*
display _rc
cap noi findvar p*, la(x)
display _rc
