*! logit_p: predictions after logit (p, xb, stdp)
program define logit_p
	_predict `0'
end
