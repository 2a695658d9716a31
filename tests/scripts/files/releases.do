* Reading every release in both byte orders: types, missing codes, sort
* lists, characteristics, old names and the conversions of older releases.
foreach r in 102 103 104 105 106 107 108 110 111 112 113 {
	foreach o in hi lo {
		if `r' == 102 & "`o'" == "hi" continue
		di "--- release `r' `o'"
		use old_`r'_`o', clear
		list
		describe
		char list
		label list
		label drop _all
		foreach v of varlist _all {
			local t : type `v'
			di "`v' `t'" _c
		}
		di
	}
}
