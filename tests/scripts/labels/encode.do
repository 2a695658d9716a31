* encode and decode
input str8 city pop
"Lyon" 5
"Paris" 20
"" 1
"Lyon" 6
"Nice" 3
end
encode city, generate(c)
describe c
label list c
list city c
list city c, nolabel
* decode turns the codes back into their texts
decode c, generate(back)
describe back
assert back == city
decode c if pop > 4, generate(back2) maxlength(3)
list back2
* an existing label gives its codes and is extended with new texts
label define towns 10 "Paris" 20 "Rome"
encode city, generate(t) label(towns)
label list towns
list city t, nolabel
label define two 1 "Lyon"
cap noi encode city, generate(t2) label(two) noextend
label list two
label define few 1 "Lyon" 2 "Nice" 3 "Paris"
encode city, generate(t3) label(few) noextend
list city t3, nolabel
* encode only the selected observations
encode city if pop > 4, generate(sel)
list city sel, nolabel
* errors
cap noi encode pop, generate(x)
cap noi encode city
cap noi encode city, generate(c)
cap noi encode city c, generate(x)
cap noi decode city, generate(x)
cap noi decode pop, generate(x)
cap noi decode c, generate(x) maxlength(0)
cap noi decode c, generate(1x)
