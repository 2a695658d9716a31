* infix: fixed-column import on the dictionary reader of infile. Columns
* inline, several lines per observation, a dictionary file, and bad
* column lists giving a message and a code with the data unchanged.

* Inline: types, names and column ranges; blanks and missing are missing,
* text in a numeric field is noted.
infix int id 1-3 str8 name 4-11 double x 12-20 using ix_data.raw
describe
list

* A width-less str takes the width of its columns; `in' and `if' after the file.
infix id 1-3 str name 4-11 using ix_data.raw in 2/4, clear
describe
list
infix id 1-3 x 12-20 using ix_data.raw if x < 100, clear
list

* Several lines per observation: `2 lines' and `1:'/`2:' line selectors.
infix 2 lines 1: id 1-3 2: x 1-8 using ix_two.raw, clear
list
* A selector between name and columns; the last observation is incomplete.
infix 2 lines id 1: 1-3 x 2: 3-6 using ix_two.raw, clear
list

* A dictionary file naming its data file, and one with the data inside.
infix using ix_dict.dct, clear
describe
list in 1/3
infix using ix_inline.dct, clear
describe
list
* using() overrides the dictionary's data file.
infix using ix_dict.dct, using(ix_data.raw) clear
count

* Bad column lists: a message and a code, the data unchanged.
infix id 1-3 x 12-20 using ix_data.raw, clear
cap noi infix id 3-1 using ix_data.raw, clear
di _rc
cap noi infix id 1-3 x 3-5 using ix_data.raw, clear
di _rc
cap noi infix id 1-3 2: y 2-4 x 1-3 using ix_two.raw, clear
di _rc
cap noi infix str300 s 1-3 using ix_data.raw, clear
di _rc
cap noi infix str0 s 1-3 using ix_data.raw, clear
di _rc
cap noi infix integer id 1-3 using ix_data.raw, clear
di _rc
cap noi infix id 1-3 id 4-5 using ix_data.raw, clear
di _rc
cap noi infix id using ix_data.raw, clear
di _rc
cap noi infix id 1- using ix_data.raw, clear
di _rc
cap noi infix id 0-2 using ix_data.raw, clear
di _rc
cap noi infix id 1-3 x 40000 using ix_data.raw, clear
di _rc
cap noi infix 2 lines id 1-3 3: x 1-2 using ix_data.raw, clear
di _rc
cap noi infix 0 lines id 1-3 using ix_data.raw, clear
di _rc
cap noi infix str s 1-300 using ix_data.raw, clear
di _rc
cap noi infix id 1-3, x 4-5 using ix_data.raw, clear
di _rc
cap noi infix id 1-3 = 4 using ix_data.raw, clear
di _rc
cap noi infix id 1-3 ix_data.raw, clear
di _rc
cap noi infix id 1-3 using nosuch.raw, clear
di _rc
cap noi infix using ix_nodict.dct, clear
di _rc
cap noi infix using ix_open.dct, clear
di _rc
cap noi infix using nosuch.dct, clear
di _rc
cap noi infix id 1-3 using ix_data.raw, clear bogus
di _rc
cap noi infix id 1-3 using ix_data.raw, using(x.raw) clear
di _rc
cap noi infix id 1-3 using ix_data.raw
di _rc
describe
list
