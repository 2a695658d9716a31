* Characteristics: define, list, delete, rename, and their removal with
* their variables
input x y
1 2
end
char _dta[note1] "first note"
char x[units] kg
char x[source] `"the "lab""'
char define y[units] "cm"
char list
char list x[]
char list x[units]
char list _dta[]
* an empty text deletes
char x[source] ""
char list x[]
local u : char x[units]
display "`u'"
* rename moves them; an occupied target needs replace
cap noi char rename x y
char rename x y, replace
char list
char rename y x
char list
* dropping a variable removes its characteristics; drop _all removes all
drop x
char list
generate x = 1
char list
drop _all
char list
* errors
input x
1
end
cap noi char nosuch[a] b
cap noi char x a b
cap noi char x[1a] b
cap noi char x[] b
cap noi char rename x
cap noi char rename x nosuch
cap noi char rename x x, bogus
cap noi char list nosuch[a]
