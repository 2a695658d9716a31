*! probit: probit regression of a binary outcome; the fitting, the tables and replay are built in
program define probit, byable(recall)
	_probit `0'
end
