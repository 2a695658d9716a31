*! panellogit: logit models for panels with a normal random panel effect or fixed panel effects; the fitting, the tables and replay are built in
program define panellogit
	_panellogit `0'
end
