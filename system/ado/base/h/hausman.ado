*! hausman: the Hausman specification test between two stored fits; built in
program define hausman
	_hausman `0'
end
