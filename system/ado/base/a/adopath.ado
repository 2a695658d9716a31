*! version 1.0.0  adopath: show and change the ado-path held in the global S_ADO
program define adopath
	version 8
	gettoken op rest : 0
	if `"`op'"' == "" {
		adopath_list
		exit
	}
	gettoken dir rest : rest
	if `"`dir'"' == "" | `"`rest'"' != "" {
		display as error "invalid syntax"
		exit 198
	}
	if "`op'" == "+" | "`op'" == "++" {
		adopath_remove `"`dir'"'
		if "`op'" == "+" {
			global S_ADO `"$S_ADO;`dir'"'
		}
		else {
			global S_ADO `"`dir';$S_ADO"'
		}
		adopath_list
		exit
	}
	if "`op'" == "-" {
		adopath_remove `"`dir'"'
		adopath_list
		exit
	}
	display as error "invalid syntax"
	exit 198
end

program define adopath_remove
	* drops an element given by position or by name
	args target
	local new
	local i 0
	tokenize `"$S_ADO"', parse(";")
	while `"`1'"' != "" {
		if `"`1'"' != ";" {
			local ++i
			if `"`i'"' != `"`target'"' & `"`1'"' != `"`target'"' {
				local new `"`new';`1'"'
			}
		}
		macro shift
	}
	gettoken semi new : new, parse(";")
	global S_ADO `"`new'"'
end

program define adopath_list
	local cw UPDATES BASE SITE PLUS PERSONAL OLDPLACE ZELTA
	local i 0
	tokenize `"$S_ADO"', parse(";")
	while `"`1'"' != "" {
		if `"`1'"' != ";" {
			local ++i
			local el `"`1'"'
			local iscw : list posof `"`el'"' in cw
			if `iscw' {
				local d : sysdir `el'
				display as text "  [`i']  (`el')" _col(19) `""`d'""'
			}
			else {
				display as text "  [`i']" _col(19) `""`el'""'
			}
		}
		macro shift
	}
end
