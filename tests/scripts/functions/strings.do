* string functions: positions, substrings, words, case, trimming, conversions
* (cases the function-library unit tests check value by value are left to them)
display "[" substr("abcdef", 2, 3) "]" "[" substr("abcdef", -2, .) "]" "[" substr("abc", 0, 1) "]" "[" substr("abc", 4, 1) "]"
display "[" word("the quick brown", 2) "]" "[" word("the quick brown", -1) "]" "[" word("the quick brown", 4) "]"
display upper("aBc1") " " lower("aBc1") " " proper("mR. joHN o'neil")
display "[" ltrim("  a b  ") "]" "[" rtrim("  a b  ") "]" "[" trim("  a b  ") "]" "[" itrim(" a   b  c") "]"
display reverse("abc") " " strreverse("xyz")
display real(" 3.5 ") + 1
display string(3.5) " " string(1/3, "%9.4f") " " string(1234567, "%12.0fc") "[" string(1, "%5s") "]"
display strofreal(-2.25)
display char(65) char(66) "[" char(0) "]"
display subinstr("a a a", "a", "bb", 2) " / " subinstr("a a a", "a", "bb", .)
display abbrev("displacement", 8) " " abbrev("short", 8)
display plural(1, "car") " " plural(2, "car") " " plural(0, "box", "+es") " " plural(3, "cars", "-s") " " plural(3, "mouse", "mice")
display regexm("abc123def", "([a-z]+)([0-9]+)")
display regexs(0) " " regexs(1) " " regexs(2) "[" regexs(3) "]"
display regexm("xyz", "[0-9]") "[" regexs(0) "]"
set obs 3
generate str10 s = "ab" + string(_n)
generate n = regexm(s, "2$")
display s[1] " " s[2] " " n[1] n[2] n[3]
capture noisily display substr("abc", "1", 2)
capture noisily display upper(1)
capture noisily display "a" + 1
