* A short tour of Zelta in batch mode.
set obs 5
generate x = _n
generate double y = x^2 + 0.5
generate str8 name = "obs" + string(_n)
describe
list
count if y > 5
display "mean of y is " %6.2f (1.5+4.5+9.5+16.5+25.5)/5
forvalues i = 1/3 {
    display "square of `i' is " `i'^2
}
* The example datasets shipped in the system directory load by name.
use people, example clear
describe
summarize age educ hours lnwage
count if lnwage == .a
use firms, example clear
list in 1/4
* The whole round: load, label, summarise, regress, save, reload, draw.
use people, example clear
label define agegrp 0 "under 45" 1 "45 or more"
generate byte older = age >= 45
label values older agegrp
label variable older "aged 45 or more"
list age older in 1/3
bysort older: summarize lnwage
regress lnwage age educ hours
display "return to a year of schooling: " %5.3f _b[educ]
predict double fit
test age educ
save demo_people, replace
use demo_people, clear
summarize fit
scatter lnwage educ, title("Log wage by schooling")
graph export demo_people.png, replace
vemo
x = (1, 2 \ 3, 4)
x * x'
end
