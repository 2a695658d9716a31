* the format command: format varlist %fmt and format %fmt varlist
set obs 2
generate x = 1234567.891
generate double y = 1/3
generate str5 s = "ab"
generate str3 t = "c"
generate byte b = 1
format x %12.2fc
local f : format x
display "`f'"
format %9.3f y b
local f : format y
local g : format b
display "`f' `g'"
format s t %-5s
local f : format s
local g : format t
display "`f' `g'"
format b %tdDmY
local f : format b
display "`f'"
format %16H x
local f : format x
display "`f'"
format x y b %10.0g
local f : format x
local g : format y
local h : format b
display "`f' `g' `h'"
format y %-9,2f
local f : format y
display "`f'"
* string() renders through the same formats
display string(y, "%9.2f") "|" string(1234567, "%12.0gc") "|"
display string(0, "%td") "|" string(-0.5, "%9.0g") "|"
display "[" string(1, "%9s") "]"
* errors
cap noi format
cap noi format x
cap noi format x %bad
cap noi format x %~9.2f
cap noi format s %~9s
cap noi format x s %9.2f
cap noi format s %9.2f
cap noi format x %9s
cap noi format nosuch %9.2f
cap noi format %9.2f
cap noi format x %9.2f , detail
local f : format x
display "`f'"
drop _all
cap noi format %9.2f
