*! panelreg_p: predictions after panelreg (xb, u, e, xbu)
program define panelreg_p
	_panelpredict `0'
end
