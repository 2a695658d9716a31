*! dotchart: a statistic of variables by group, drawn as dots on guide lines
*  dotchart [(stat)] varlist [if] [in] [weight] [, over(varname) [over(varname)]
*        horizontal color() title() subtitle() ytitle() note() saving() name()]
program dotchart, rclass
	version 9.2
	_gbars dot `0'
	return add
end
