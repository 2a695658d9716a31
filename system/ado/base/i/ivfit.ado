*! ivfit: instrumental-variable regression (2SLS, LIML, two-step GMM); the fitting, the tests and replay are built in
program define ivfit
	_ivfit `0'
end
