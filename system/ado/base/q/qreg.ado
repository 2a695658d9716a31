*! qreg: quantile regression; the fit, the table and replay are built in (_qreg)
program define qreg, byable(recall)
	_qreg `0'
end
