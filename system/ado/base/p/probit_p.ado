*! probit_p: predictions after probit (p, xb, stdp)
program define probit_p
	_predict `0'
end
