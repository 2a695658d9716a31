*! barchart: a statistic of variables by group, drawn as bars
*  barchart [(stat)] varlist [if] [in] [weight] [, over(varname) [over(varname)] stack
*        horizontal blabel color() title() subtitle() ytitle() note() saving() name()]
program barchart, rclass
	version 9.2
	_gbars bar `0'
	return add
end
