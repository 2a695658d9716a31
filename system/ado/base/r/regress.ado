*! regress: linear regression; the fitting, the tables and replay are built in
program define regress, byable(recall)
	_regress `0'
end
