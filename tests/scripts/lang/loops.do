* forvalues: every range form
forvalues i = 10(-3)1 {
  display "`i'"
}
forvalues i = 1/0 {
  display "never"
}
forvalues i = 1 3 : 9 {
  display "`i'"
}
forvalues i = 0 0.25 to 1 {
  display "`i'"
}
forvalues i = 1[2]5 {
  display "`i'"
}
display "[`i']"
capture noisily forvalues i = 1(0)5 {
  display "zero"
}
capture noisily forvalues i = 1 to {
  display "bad"
}
* foreach: every list form
foreach x in a "b c" d {
  display "`x'"
}
local L one two three
foreach x of local L {
  display "`x'"
}
global G alpha beta
foreach x of global G {
  display "`x'"
}
foreach x of numlist 1/3 10(5)20 {
  display "`x'"
}
foreach x of newlist new1 new2 {
  display "`x'"
}
foreach x in {
  display "never"
}
display "[`x']"
capture noisily foreach x at a b {
  display "bad"
}
* the rest of the list
foreach x in p q r {
  display "`x': `ferest()'"
}
* nesting and continue
foreach x in a b c {
  forvalues j = 1/3 {
    if `j' == 2 continue
    display "`x'`j'"
  }
}
foreach x in a b c d {
  if "`x'" == "c" {
    continue, break
  }
  display "`x'"
}
capture noisily continue
* while
local k 0
while `k' < 3 {
  local ++k
  if `k' == 2 {
    continue
  }
  display "k=`k'"
}
* if / else
if 1 display "one"
if 0 display "zero"
else display "not zero"
if 2 > 1 {
  display "block"
}
else {
  display "never"
}
if 0 {
  if 1 {
    display "never"
  }
  display "never"
}
else if 1 {
  display "else-if"
}
capture noisily if 1 else display "x"
capture noisily if 1
* braces
capture noisily if 1 { display "x"
capture noisily {
  display "inside"
} display "after"
{
  display "plain block"
}
* loops inside a program move its line counter
program define counter
  local i 0
  while `i' < 3 {
    local ++i
    foreach w in x y {
      display "`i'`w'"
    }
  }
  forvalues j = 1/2 {
    display "j`j'"
  }
end
counter
* an error inside a loop body ends the loop with its code
capture noisily foreach x in a b {
  display "`x'"
  global 9x y
}
display "done"
* under quietly a loop read from a do-file shows only its first line: the body
* and the closing brace are read (and echoed) at the text level, which quietly
* hides, as it hides the body's output; noisily still shows
quietly forvalues i = 1/2 {
  display "hidden `i'"
  noisily display "shown `i'"
}
display "after the quiet loop"
