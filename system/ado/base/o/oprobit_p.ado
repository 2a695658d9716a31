*! oprobit_p: predictions after oprobit (outcome probabilities, xb, stdp)
program define oprobit_p
	_predict `0'
end
