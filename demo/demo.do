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
