* extended macro functions
local n : word count a "b c" d
display "`n'"
local w : word 2 of a "b c" d
display "[`w']"
local w : word 5 of a b
display "[`w']"
capture noisily local w : word x of a b
display "`:word count'"
* lists
local A a b a c
local B c d
local r : list uniq A
display "[`r']"
local r : list dups A
display "[`r']"
local r : list sort A
display "[`r']"
local r : list sizeof A
display "[`r']"
local r : list A | B
display "[`r']"
local r : list A & B
display "[`r']"
local r : list A - B
display "[`r']"
local r : list B in A
display "[`r']"
local C a b
local D b a
local r : list C == D
display "[`r']"
local r : list C === D
display "[`r']"
local r : list posof "c" in A
display "[`r']"
local Q  "x y"   z
local r : list retokenize Q
display `"[`r']"'
local r : list clean Q
display `"[`r']"'
capture noisily local r : list nonsense A
* subinstr
local s "a cat and a catalogue"
local r : subinstr local s "cat" "dog"
display "[`r']"
local r : subinstr local s "cat" "dog", all count(local k)
display "[`r'] `k'"
local r : subinstr local s "cat" "dog", all word
display "[`r']"
global gs "x-y-z"
local r : subinstr global gs "-" "+", all
display "[`r']"
capture noisily local r : subinstr local s "" "x"
* lengths, directories and the rest
local r : length local s
display "[`r']"
local r : length global nosuch
display "[`r']"
display "`:dirsep'"
local r : piece 2 10 of "the quick brown fox jumps"
display "[`r']"
local r : display 1+2
display "[`r']"
local r : display %5.2f 3.14159
display "[`r']"
local r : env ZELTA_NO_SUCH_VARIABLE
display "[`r']"
local r : dir . files "*.ado"
display `"[`r']"'
capture noisily local r : dir nosuchdir files "*"
capture noisily local r : nosuchfunction x
global zz_one 1
global zz_two 2
local r : all globals "zz_*"
display "[`r']"
local r : adosubdir "greet.ado"
display "[`r']"
