*! lowess: locally weighted smoothing of y on x, drawn over the scatter through the graph commands
*  lowess yvar xvar [if] [in] [, bwidth(#) mean noweight logit adjust generate(newvar) nograph graph options]
program lowess, rclass
	version 9.2
	syntax varlist(min=2 max=2 numeric) [if] [in] [, BWidth(real 0.8) MEAN NOWEIGHT LOGIT ADJust /*
		*/ GENerate(string) NOGRaph TItle(string) *]
	marksample touse
	gettoken y x : varlist
	local x = trim("`x'")
	if "`generate'" != "" {
		local s `generate'
	}
	else {
		tempvar s
	}
	quietly gen double `s' = .
	capture noisily _LOWESS `y' `x' if `touse', generate(`s') bwidth(`bwidth') `mean' `noweight'
	if _rc {
		local rc = _rc
		capture drop `s'
		exit `rc'
	}
	local N = r(N)
	* adjust: the smooth's mean made the mean of y; logit: then its logit
	if "`adjust'" != "" | "`logit'" != "" {
		quietly summarize `y' if `touse' & `s' < .
		local my = r(mean)
		quietly summarize `s' if `touse'
		quietly replace `s' = `s' * `my' / r(mean) if `touse'
	}
	if "`logit'" != "" {
		quietly replace `s' = cond(`s' > 0 & `s' < 1, ln(`s' / (1 - `s')), .) if `touse'
	}
	if "`generate'" != "" {
		label variable `s' "lowess: `y' on `x'"
	}
	if "`nograph'" == "" {
		label variable `s' "lowess smooth"
		local t = cond("`logit'" != "", "Lowess smoother, logit transformed", "Lowess smoother")
		if `"`title'"' != "" {
			local t `"`title'"'
		}
		local bwt : display %9.0g `bwidth'
		local bwt = trim("`bwt'")
		if "`logit'" != "" {
			overlay (line `s' `x' if `touse'), title("`t'") note("bandwidth = `bwt'") `options'
		}
		else {
			overlay (scatter `y' `x' if `touse') (line `s' `x' if `touse', linewidth(1.6)), title("`t'") /*
				*/ note("bandwidth = `bwt'") `options'
		}
	}
	return scalar N = `N'
	return scalar bwidth = `bwidth'
end
