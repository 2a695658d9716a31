*! cnreg_p: predictions after cnreg (xb, stdp, ycens)
program define cnreg_p
	_predict `0'
end
