*! logit: logistic regression of a binary outcome; the fitting, the tables and replay are built in
program define logit, byable(recall)
	_logit `0'
end
