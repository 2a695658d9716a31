*! hausman: the Hausman test that two stored fits agree; built in
program define hausman
	_hausman `0'
end
