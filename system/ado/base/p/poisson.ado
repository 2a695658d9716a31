*! poisson: Poisson regression of a count; the fitting, the tables and replay are built in
program define poisson, byable(recall)
	_poisson `0'
end
