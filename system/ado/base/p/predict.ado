*! predict: predictions after estimation, through the estimator's own program
program define predict
	if `"`e(cmd)'"' == "" {
		error 301
	}
	`e(predict)' `0'
end
