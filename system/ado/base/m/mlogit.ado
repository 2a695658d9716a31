*! mlogit: multinomial logistic regression; the fitting, the tables and replay are built in
program define mlogit, byable(recall)
	_mlogit `0'
end
