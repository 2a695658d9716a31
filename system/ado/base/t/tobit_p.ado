*! tobit_p: predictions after tobit (xb, stdp, ycens)
program define tobit_p
	_predict `0'
end
