*! negbin_p: predictions after negbin (n, xb, stdp)
program define negbin_p
	_predict `0'
end
