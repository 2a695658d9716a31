* literals, columns, skips and newlines
display "hello" _col(10) "x"
display "hello" _column(3) "x"
display _skip(3) "x" _s "y" _s(-2) "z"
display "a" _newline "b" _n(2) "c"
display _n
display "x" _newline(0) "y"
* repeat counts and characters
display _dup(3) "ab" "|"
display _dup(2) _dup(3) "-" "|"
display _dup(0) "x" "y"
display _dup(2) _char(66) _char(67)
display _char(65) _skip(3) _quote _dup(3) _quote
display _dup(4) 7 "|"
display _dup(2) _skip(2) "|"
* blanks between items
display 2 , 3 ,, 4
display "a","b"
display 1 2 3
display "a" "b" + "c"
display `"compound "quote""'
display =2+2
* formats apply to the next item only
display %9.2f 1/3 1/3
display %~12s "abc" "|"
display %12s "abc" "|"
display %-12s "abc" "|"
display %12s "a string of twenty ch" "|"
display %9.2f "text" "|"
* styles and markup
display as error "err" as text " txt" as result " res" as input " inp"
display in red "r" in green "g" in yellow "y" in white "w" in blue "b"
display as err "e" as txt "t" as res "r" as inp "i" as com "c"
display "{hline 5}"
display _asis "{hline 5}" _col(12) "x"
display in zmcl "{hline 3}"
version 6: display "{hline 3}"
display _char(123) _char(125)
* no newline at the end
display "first" _continue
display " second"
display "a" _c
display "b"
* user requests in batch mode
display _request(answer)
display "[$answer]"
* errors
cap noi display _column(500)
cap noi display _col
cap noi display _col(abc)
cap noi display _skip(2
cap noi display _newline(401)
cap noi display _char(0)
cap noi display _char(256)
cap noi display _dup(-1) "x"
cap noi display %bad 1
cap noi display _request
display "x" _page "y"
* output levels
quietly display "hidden"
quietly display as error "shown at the error level"
quietly display as text "hidden" as error " shown"
