*! mlogit_p: predictions after mlogit (outcome probabilities, xb, stdp)
program define mlogit_p
	_predict `0'
end
