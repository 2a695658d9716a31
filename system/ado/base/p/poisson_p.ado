*! poisson_p: predictions after poisson (n, xb, stdp)
program define poisson_p
	_predict `0'
end
