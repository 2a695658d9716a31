* missing values through the command line: powers, logic, functions that
* skip or keep them
display 2^.
display . | 0
display missing(., 1)
display missing("", "a")
display max(., 1, 3)
display substr("abc", 0, 1) + "|"
display substr("abc", 4, 1) + "|"
