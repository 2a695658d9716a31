*! ologit_p: predictions after ologit (outcome probabilities, xb, stdp)
program define ologit_p
	_predict `0'
end
