* recode: rules with values, ranges, min/max, missing, else; in place or into
* new variables; value labels from the rules; if/in; several variables.
clear
input byte a int b float c
1 10 1.5
2 20 2.5
3 30 .
4 40 4.5
5 . 5.5
6 60 .b
end
recode a (1 2 = 1) (3/5 = 2) (else = 9), generate(a2)
list a a2
recode a (1 2 = 1 "low") (3/5 = 2 "middle") (missing = .) (else = 9 "other"), generate(a3)
list a a3
label list a3
recode b (min/20 = 0) (40/max = 1) (missing = -1)
list b
recode c (missing = 0) (nonmissing = 1), generate(cm)
list c cm
recode c (.b = .a) (5.5 = 0.25)
list c
* A float variable's 1.1 is the float nearest 1.1: the rules find it.
generate float f = _n / 10 + 1
recode f (1.1 = 0) (1.2/1.4 = 1) (1.6 = 2), generate(fr)
list f fr
drop f fr
* if and in: with generate() the others are missing, in place they stay.
recode a (1/3 = 0) if a > 1, generate(a4)
recode a (min = 100) (max = 200) in 2/5
list a a4
* Several variables at once; a value that no longer fits widens the type.
recode a2 a3 (9 = 1000.5)
describe a2 a3
list a2 a3
recode a2 a3 (1 = -1 "minus"), generate(x y) label(signs)
list x y in 1/3
label list signs
recode a (100 = 7 "seven"), label(sevens)
label list sevens
* Errors.
cap noi recode a
display _rc
cap noi recode a (1 2)
display _rc
cap noi recode a (1 = x)
display _rc
cap noi recode a (foo = 1)
display _rc
cap noi recode a (3/1 = 1)
display _rc
cap noi recode a (else = 1) (1 = 2)
display _rc
cap noi recode a (1 = 2 low)
display _rc
cap noi recode a (1 = 2.5 "half")
display _rc
cap noi recode a (1 = 2, generate(z)
display _rc
cap noi recode nosuch (1 = 2)
display _rc
cap noi recode a (1 = 2), bogus
display _rc
cap noi recode a b (1 = 2), generate(z)
display _rc
cap noi recode a (1 = 2 "two"), generate(a2)
display _rc
cap noi recode a (1 = 2 "two") bad (3 = 4)
display _rc
generate str3 s = "a"
cap noi recode s (1 = 2)
display _rc
cap noi recode a (1 = 2 "two"), label(sevens)
display _rc
* Names and options shorter than their abbreviations.
cap noi recod a (1 = 2)
display _rc
cap noi recode a (1 = 2), ge(z)
display _rc
cap noi recode a (1 = 2 "x"), la(z)
display _rc
