*! clogit: conditional logistic regression for matched groups; the fitting, the tables and replay are built in
program define clogit, byable(recall)
	_clogit `0'
end
