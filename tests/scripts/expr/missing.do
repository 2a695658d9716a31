* missing values in arithmetic, comparisons and logic, by version
display 1/0
display ln(0)
display sqrt(-1)
display .a+1
display -.b
display 2^.
display .a == .a
display .a == .b
display . < .a
display .z > 1e300
display . & 1
display !.
display . | 0
version 7: display .a == .b
version 7: display . < .a
display round(.b, 1)
display round(2.5)
display round(-2.5)
display mod(-1, 3)
display mod(5, 0)
display cond(., 1, 2)
display cond(., 1, 2, 3)
display inrange(., 1, 2)
display inrange(5, ., .)
display inrange(5, ., 3)
display missing(., 1)
display missing("", "a")
display max(., 1, 3)
display substr("abcdef", -2, .)
display substr("abc", 0, 1) + "|"
display substr("abc", 4, 1) + "|"
