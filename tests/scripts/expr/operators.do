* operators, precedence and the extent of expressions
display 1+2*3
display (1+2)*3
display 10-4-3
display 2+-3
display 8/2/2
display 3<2==0
display 1==2<3
display 1|0&0
display ~1
display !1+1
display 5!=4
display 5~=5
display "a"=="a"
display ( 1 + 2 ) * 3
display d(01jan1960)
display cond(1, 2, 3)
display inrange(2, 1, 3)
display inlist(2, 4, 5, 2)
display missing(1, 2)
display string(12) + "x"
display string(1234567.5)
display string(0.1, "%5.2f") + "|"
display string(21915, "%td")
display string(3, "%5s") + "|"
display strofreal(.a)
display cond(0, "yes", "no")
display `"he said "hi""'
display "x" + substr("abc", 2, .) + "y"
display 2==2 & "a"=="a"
* before version 7 display shows its text without markup
version 4: display -2^2
cap noi display "a"+1
cap noi display 1+
cap noi display nosuch
cap noi display nosuch(1)
cap noi display missing(missing(1))
cap noi display sum(1)+sum(2)+sum(3)+sum(4)+sum(5)
cap noi display cond(1, 2)
