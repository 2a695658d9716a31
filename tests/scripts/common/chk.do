* chk expression reference tolerance: the expression's value against an
* independent reference, relative to the reference (plus 1e-12 absolute);
* prints the value, or an error and exit 9 when it is off.
program define chk
	args what ref tol
	tempname v
	scalar `v' = `what'
	if abs(`v' - (`ref')) > `tol' * abs(`ref') + 1e-12 {
		display as error "`what' = " %20.0g `v' " but the reference is " %20.0g `ref'
		exit 9
	}
	display as text "`what'" _col(22) as result %12.0g `v'
end
