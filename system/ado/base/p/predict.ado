*! predict: predictions after estimation, through the estimator's own program
*! (e(predict)), or the linear prediction from e(b) when it names none
program define predict
	if `"`e(cmd)'"' == "" {
		error 301
	}
	if `"`e(predict)'"' == "" {
		_predict `0'
		exit
	}
	`e(predict)' `0'
end
