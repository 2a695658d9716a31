* The shipped example datasets: loaded by name from the system directory,
* with their labels, missing values of several kinds and sort order.
use people, example
describe
list in 1/5
count if lnwage == .a
count if lnwage == .b
count if hours == .
count if lnwage >= . & hours < .
label list
use firms, example clear
describe
list in 1/12
count
cap noi use ../people, example clear
di _rc
