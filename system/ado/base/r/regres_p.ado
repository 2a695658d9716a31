*! regres_p: predictions after regress (xb, residuals, stdp)
program define regres_p
	_predict `0'
end
