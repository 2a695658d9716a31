*! estimates: hold, unhold, store, restore, dir, drop and clear of estimation results
program estimates
	version 9.2
	_estimates `0'
end
