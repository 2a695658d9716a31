* syntax with anything or a name list: parentheses and brackets must pair up,
* quotes must close; the message says which way it fails
program define any
  syntax anything [, Detail]
  display `"anything=[`anything'] detail=[`detail']"'
end
any a b
any (a b) [c d], detail
any f(x[1], "(") `"g")"'
any ((a)[b(c)])
capture noisily any (a b
display _rc
capture noisily any a b)
display _rc
capture noisily any [a b
display _rc
capture noisily any a b]
display _rc
capture noisily any (a b]
display _rc
capture noisily any [a b)
display _rc
capture noisily any (a b, detail
display _rc
capture noisily any a "b
display _rc
capture noisily any ))((
display _rc
* nesting deeper than 100 levels
local deep
forvalues i = 1/101 {
  local deep `deep'(
}
local shut
forvalues i = 1/101 {
  local shut `shut')
}
capture noisily any `deep'x`shut'
display _rc
* exactly 100 levels are fine
local deep
local shut
forvalues i = 1/100 {
  local deep `deep'(
  local shut `shut')
}
capture noisily any `deep'x`shut'
display _rc
* name lists say the names are invalid
program define names
  syntax namelist
  display "namelist=[`namelist']"
end
names a b
capture noisily names (a b
display _rc
capture noisily names a b]
display _rc
