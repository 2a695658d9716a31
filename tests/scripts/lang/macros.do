* Macro definitions and every reference form
local i 3
display `i'+1
local i
display "[`i']"
global x "a b"
display "$x|${x}|"
global q `"say "hi" now"'
display `"$q"'
local two "a" "b"
display `"`two'"'
* nested references expand the inner one first
local n 2
local v2 second
display "`v`n''"
global g2 gsecond
display "${g`n'}"
* increments
local n 1
display "`n++' `n'"
display "`++n'"
display "`n--' `--n'"
program define incr
  display "`m++'"
end
capture noisily incr
local m abc
program define incr2
  local m abc
  display "`m++'"
end
capture noisily incr2
local ++n
display "`n'"
local --n
display "`n'"
* expressions
local e = 2*3+1
display "`e'"
display "`=10/4'"
display "`=1/3'"
local s = "abc" + "def"
display "`s'"
display "`=1e20'"
display "`=-0.5'"
* positional and *
program define pos
  display `"[`*'] [`0'] [`1'] [`2'] [`3']"'
end
pos a "b c" d
* saved results and system values
capture global 9x y
display "`c(rc)'"
display "[`r(nosuch)'][`e(nosuch)'][`s(nosuch)']"
* escapes
global y hello
display "\$y and \`i'"
* a macro holding a reference expands it; macval does not
global z world
local r "\$z"
display "`r'"
display "`macval(r)'"
* undefined and malformed references
display "[`undefined'][$undefined]"
display "$1 costs"
display "a ` b"
* name length: a 33-byte global name is cut to 32
global abcdefghijklmnopqrstuvwxyz123456 long
display "$abcdefghijklmnopqrstuvwxyz1234567"
* quotes at the ends only
local t "a" "b"
display `"[`t']"'
local u `"he said "x""'
display `"[`u']"'
* c_local sets a local of the caller
program define setter
  c_local fromcallee set by program
end
setter
display "`fromcallee'"
* macro list, drop, shift
global m1 one
global m2 two
macro list m1 m2
macro drop m1
capture noisily macro list m1
program define shifter
  macro shift
  display "`1' `2' `3'"
  macro shift 2
  display "[`1']"
end
shifter a b c d
capture noisily local 1abc x
capture noisily global 9x y
capture noisily local a = 1 +
* a macro that refers to itself stops after 20 expansions in a row
program define loopy
  local a "\`a'"
  display "`a'"
end
capture noisily loopy
display "still running"
