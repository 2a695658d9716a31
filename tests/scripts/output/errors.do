* The error command: standard messages, borrowed messages and mapped codes.
cap noi error 198
display _rc
cap noi error 197
cap noi error 199
cap noi error 102
cap noi error 103
cap noi error 107
cap noi error 109
cap noi error 111
display _rc
cap noi error 100
cap noi error 101
cap noi error 110
cap noi error 106
display _rc
cap noi error 180
display _rc
cap noi error 182
cap noi error 303
cap noi error 120
cap noi error 121
cap noi error 124
cap noi error 127
cap noi error 140
cap noi error 145
cap noi error 301
cap noi error 302
cap noi error 459
cap noi error 601
cap noi error 602
cap noi error 603
cap noi error 608
cap noi error 610
cap noi error 699
cap noi error 611
cap noi error 614
cap noi error 913
cap noi error 950
cap noi error 1000
cap noi error 1003
cap noi error 2
cap noi error 663
cap noi error 3000
cap noi error 3500
cap noi error 2999
display _rc
cap noi error 4024
cap noi error 5101
display _rc
cap noi error 6101
cap noi error 7196
cap noi error 7197
cap noi error 7198
display _rc
* Notes rather than errors.
cap noi error 8002
display _rc
cap noi error 2000
display _rc
cap noi error 2001
* Nothing is printed for codes without a message.
cap noi error 9999
display _rc
cap noi error 200000
display _rc
cap noi error 12.7
display _rc
error 0
display "error 0 returns nothing"
* Syntax of the command itself.
cap noi error
display _rc
cap noi error 1 2
cap noi error -3
display _rc
cap noi error (100+98)
* Under quietly the message still shows; under capture nothing does.
quietly cap noi error 198
capture error 198
display _rc
* a message quoting a word of over a thousand characters shows it whole and
* ends its line, whichever command composes it
local w x
forvalues i = 1/10 {
  local w `w'`w'
}
cap noi set obs `w'
display _rc
cap noi _gscheme measure `w' "a"
display _rc
* The last error ends the do-file and shows its code.
error 111
display "not reached"
