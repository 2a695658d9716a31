*! huberreg: robust regression by M-estimation, Huber then biweight; built in (_huber)
program define huberreg, byable(recall)
	_huber `0'
end
