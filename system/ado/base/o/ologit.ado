*! ologit: ordered logistic regression; the fitting, the tables and replay are built in
program define ologit, byable(recall)
	_ologit `0'
end
