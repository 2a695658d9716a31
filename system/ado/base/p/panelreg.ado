*! panelreg: linear panel-data models (fixed, random and between effects); the fitting, the tables and replay are built in
program define panelreg
	_panelreg `0'
end
