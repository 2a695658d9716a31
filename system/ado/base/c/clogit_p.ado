*! clogit_p: predictions after clogit (within-group probability, xb, stdp)
program define clogit_p
	_predict `0'
end
