* A short tour of Zelta in batch mode.
set obs 5
generate x = _n
generate y = x^2
list
display "mean of y is " (1+4+9+16+25)/5
