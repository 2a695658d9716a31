*! cox_p: predictions after cox (relative hazard, xb, baseline survivor and cumulative hazard, residuals)
program define cox_p
	_predict `0'
end
