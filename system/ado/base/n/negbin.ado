*! negbin: negative binomial regression of a count; the fitting, the tables and replay are built in
program define negbin, byable(recall)
	_negbin `0'
end
