* Extended macro functions whose values live in other subsystems: matrix
* stripes, names of saved results and of named scalars and matrices, set
* values, the log, regular expressions, macro lengths, time-series operators,
* series sets and constraints; numlist posts its list to r()
matrix A = (1, 2 \ 3, 4 \ 5, 6)
local x : rownames A
display "[`x']"
local x : colnames A
display "[`x']"
display "[`:rownames A'] [`:coln A'] [`:roweq A'] [`:coleq A']"
display "[`:rowfullnames A'] [`:colfullnames A']"
matrix rownames A = a b c
matrix colnames A = u v
matrix coleq A = eq1 eq2
display "[`:rown A'] [`:colnames A'] [`:coleq A'] [`:colfullnames A']"
capture noisily local x : rownames nosuch
display _rc
capture noisily local x : rownames
display _rc

* names of saved results
set obs 5
generate x = _n
generate y = 2 * x + mod(_n, 2)
quietly summarize x
display "[`:r scalars'] [`:r macros'] [`:r matrices'] [`:r functions']"
numlist "1/3 10(5)20"
return list
display "[`r(numlist)'] [`:r macros'] [`:r scalars']"
quietly regress y x
display "[`:e scalars']"
display "[`:e macros']"
display "[`:e matrices'] [`:e functions']"
program define sprog, sclass
  sreturn local one "1"
  sreturn local two "2"
end
sprog
display "[`:s macros'] [`:s scalars']"
capture noisily local x : r things
display _rc

* named scalars and matrices, globals
scalar s1 = 1
scalar s2 = "text"
scalar t1 = 2
matrix B = (1)
global gone 1
global gtwo 2
display "[`:all scalars'] [`:all numeric scalars'] [`:all string scalars'] [`:all scalars "s*"']"
display "[`:all matrices'] [`:all globals "g*"']"

* set and log
display "[`:set type'] [`:set level'] [`:set more']"
set type double
display "[`:set type']"
capture noisily local x : set nosuchsetting
display _rc
display "[`:log'] [`:log type'] [`:log status mine']"
log using extra.txt, text name(mine)
display "[`:log status mine'] [`:log type mine']"
log off mine
display "[`:log status mine']"
log close mine
display "[`:log status mine'] [`:log filename mine']"

* regular expressions
display "[`:regexmatch "abc123" "([a-z]+)([0-9]+)"'] [`:regexsubexp 1'] [`:regexsubexp 2']"
display "[`:regexmatch "abc" "[0-9]"'] [`:regexreplace "a-b-c" "-" "+"']"
local re : regexreplace "one two" "(o)" "0"
display "`re'"

* lengths of macros (a name beginning with _ is a local)
local hello "hello there"
global gl "abc"
display "[`:_length _hello'] [`:_length gl'] [`:_length nosuch']"

* time-series operators
display "[`:tsnorm l.L.d'] [`:tsnorm LLD'] [`:tsnorm F2L'] [`:tsnorm s4.s12.d'] [`:tsnorm ld.l.x, varname']"
capture noisily local x : tsnorm q.x
display _rc

* series sets
display "[`:serset id'] [`:serset N']"
serset create x y
display "[`:serset id'] [`:serset k'] [`:serset N'] [`:serset varnames'] [`:serset varnum y']"
display "[`:serset type 1'] [`:serset format 2'] [`:serset min 1'] [`:serset max 2']"
capture noisily local x : serset varnum nosuch
display _rc

* constraints: none are kept
display "[`:constraint dir']"
capture noisily local x : constraint 1
display _rc

* an unknown word is still refused
capture noisily local x : nosuchfunction
display _rc
