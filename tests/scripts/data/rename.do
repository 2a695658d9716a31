* rename: one variable, groups, patterns, case; a failed rename changes nothing
clear
set obs 2
generate a = 1
generate b = 2
generate inc_2019 = 3
generate inc_2020 = 4
generate Xy = 5
char a[note] first
* a group may exchange names; characteristics follow their variable
rename (a b) (b a)
list in 1, noobs
char list b[]
rename inc_* income*
rename income20?? y??
rename Xy, lower
rename (xy y19), upper
* an abbreviation of the old name, and a rename onto itself
rename X XX
rename XX XX
list in 1, noobs
* each error leaves every name as it was
capture noisily rename (XX Y19) (one)
capture noisily rename XX y20
capture noisily rename (XX y20) (y20 b)
capture noisily rename XX 1bad
capture noisily rename XX _n
capture noisily rename nosuch* z*
capture noisily rename XX z*
capture noisily rename y* z**
capture noisily rename (XX XX) (p q)
capture noisily rename (XX y20) (p p)
rename (Y19 y20) (y20 Y19)
capture noisily rename XX, lower sideways
capture noisily rename (XX y20
capture noisily rename XX
capture noisily rename
capture noisily rename XX p q
list in 1, noobs
