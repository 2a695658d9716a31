* settings owned by the loop, and bad settings
set rmsg off
capture noisily set rmsg maybe
* a long word is quoted whole, to its last character
local w 0123456789
local w `w'`w'`w'`w'`w'`w'`w'`w'`w'`w'
capture noisily set rmsg `w'`w'`w'`w'`w'`w'END
display _rc
capture noisily set nosuchsetting on
* so is a long setting name that is not one
capture noisily set `w'`w'`w'`w'`w'`w'END on
display _rc
capture noisily set
* under rmsg each command run in a loop typed here reports as a typed one does
* (a line holding a block or a nested loop once more at its end); a program's
* own lines, lines skipped, and a failing line (the loop reports it) do not
program define rmsgprog
  forvalues i = 1/2 {
    display "prog `i'"
  }
end
set rmsg on
forvalues i = 1/2 {
  local s = `i' + 1
  display "`i'"
  rmsgprog
  if `i' == 1 {
    continue
  }
  capture error 7
}
capture noisily foreach v in a b {
  display "`v'"
  error 198
}
local k 0
while `k' < 2 {
  local ++k
}
set rmsg off
forvalues i = 1/2 {
  display "`i'"
}
