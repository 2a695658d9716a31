*! tobit: censored normal regression with fixed bounds; the fitting, the tables and replay are built in
program define tobit, byable(recall)
	_tobit `0'
end
