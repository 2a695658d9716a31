*! test: Wald tests of linear hypotheses after estimation
program define test
	_test `0'
end
