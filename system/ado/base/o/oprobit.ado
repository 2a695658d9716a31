*! oprobit: ordered probit regression; the fitting, the tables and replay are built in
program define oprobit, byable(recall)
	_oprobit `0'
end
