*! clear: empties the dataset and its labels
program clear
	version 9.2
	if `"`0'"' != "" {
		di as err "invalid syntax"
		exit 198
	}
	drop _all
	label drop _all
end
