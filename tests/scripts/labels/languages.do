* Label languages: new, copy, switching, rename, delete and their limits
input sex age
0 30
1 40
end
label define sexen 0 "female" 1 "male"
label define sexfr 0 "femme" 1 "homme"
label values sex sexen
label variable sex "Sex"
label variable age "Age in years"
label data "Survey"
label language
label language fr, new
describe
label variable sex "Sexe"
label variable age "Age"
label values sex sexfr
label data "Enquete"
list
label language
label language default
describe
list
* the languages not current live in characteristics
char list
label language fr
char list
* copy starts from the current labels
label language de, new copy
describe
label language de2, rename
label language
* delete a language that is not current, then the current one
label language fr
label language de2, delete
label language fr, delete
label language
describe
char list
* errors
cap noi label language nosuch
cap noi label language default, new
cap noi label language x, new rename
cap noi label language x, new delete
cap noi label language x, copy
cap noi label language x, delete
cap noi label language, new
cap noi label language abcdefghijklmnopqrstuvwxy, new
cap noi label language 1x, new
cap noi label language a b
cap noi label language x, bogus
* at most 100 languages
forvalues i = 2/100 {
	quietly label language l`i', new
}
label language l50
cap noi label language onetoomany, new
label language l50, delete
label language onetoomany, new
