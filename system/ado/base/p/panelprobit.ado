*! panelprobit: probit models for panels with a normal random panel effect; the fitting, the tables and replay are built in
program define panelprobit
	_panelprobit `0'
end
