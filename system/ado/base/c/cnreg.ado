*! cnreg: censored normal regression with censoring by observation; the fitting, the tables and replay are built in
program define cnreg, byable(recall)
	_cnreg `0'
end
