*! kdens: kernel density estimate of a variable, drawn as a line through the graph commands
*  kdens varname [if] [in] [fweight aweight] [, kernel(name) bwidth(#) n(#) at(var)
*        generate(x d | d with at()) nograph normal graph options]
program kdens, rclass
	version 9.2
	syntax varname(numeric) [if] [in] [fweight aweight] [, Kernel(string) BWidth(real 0) N(integer 0) /*
		*/ AT(varname numeric) GENerate(string) NOGRaph NORMal TItle(string) *]
	marksample touse
	local wgt
	if "`weight'" != "" {
		local wgt [`weight'`exp']
	}
	if "`kernel'" == "" {
		local kernel epanechnikov
	}
	if "`at'" != "" & `n' != 0 {
		di as err "options at() and n() may not be combined"
		exit 184
	}
	* the default bandwidth: 0.9 min(sd, IQR/1.349) N^(-1/5), the IQR from summarize's percentiles
	quietly summarize `varlist' `wgt' if `touse', detail
	if r(N) == 0 {
		error 2000
	}
	local mean = r(mean)
	local sd = r(sd)
	if `bwidth' == 0 {
		local iqr = (r(p75) - r(p25)) / 1.349
		local s = cond(`iqr' > 0, min(`sd', `iqr'), `sd')
		local bwidth = 0.9 * `s' * r(N)^(-0.2)
		if !(`bwidth' > 0) {
			di as err "bandwidth 0: `varlist' does not vary; give bwidth()"
			exit 198
		}
	}
	else if `bwidth' < 0 {
		di as err "bwidth() must be above 0"
		exit 198
	}
	* where the estimates go: new variables, or temporary ones for the graph
	local ng : word count `generate'
	if "`at'" != "" {
		if `ng' > 1 {
			di as err "generate() takes one name (the density) with at()"
			exit 198
		}
		local d `generate'
		local x `at'
	}
	else {
		if `ng' != 0 & `ng' != 2 {
			di as err "generate() takes two names: the points and the density"
			exit 198
		}
		if `n' == 0 {
			local n = min(_N, 50)
		}
		if `n' > _N {
			di as err "n() may not exceed the number of observations (" _N ")"
			exit 198
		}
		local x : word 1 of `generate'
		local d : word 2 of `generate'
	}
	if "`d'" == "" {
		tempvar d
	}
	if "`x'" == "" {
		tempvar x
	}
	if "`at'" == "" {
		quietly gen double `x' = .
		local nopt n(`n') xvar(`x')
	}
	else {
		local nopt at(`at')
	}
	capture noisily quietly gen double `d' = .
	if _rc {
		local rc = _rc
		if "`at'" == "" {
			drop `x'
		}
		exit `rc'
	}
	capture noisily _KDE `varlist' if `touse' `wgt', dvar(`d') `nopt' kernel(`kernel') bwidth(`bwidth')
	if _rc {
		local rc = _rc
		capture drop `d'
		if "`at'" == "" {
			capture drop `x'
		}
		exit `rc'
	}
	local bw = r(bwidth)
	local kname `r(kernel)'
	local npts = r(n)
	local N = r(N)
	if "`generate'" != "" {
		label variable `d' "density: `varlist'"
		if "`at'" == "" {
			label variable `x' "`varlist'"
		}
	}
	if "`nograph'" == "" {
		if `"`title'"' == "" {
			local title Kernel density estimate
		}
		local lab : variable label `varlist'
		if `"`lab'"' == "" {
			local lab `varlist'
		}
		local bwt : display %9.0g `bw'
		local bwt = trim("`bwt'")
		local plots (line `d' `x', linewidth(1.6))
		if "`normal'" != "" {
			tempvar nd
			quietly gen double `nd' = normalden((`x' - `mean') / `sd') / `sd'
			label variable `nd' "normal density"
			label variable `d' "kernel density"
			local plots `plots' (line `nd' `x', linepattern(dash))
		}
		overlay `plots', title(`"`title'"') xtitle(`"`lab'"') ytitle("Density") /*
			*/ note("kernel = `kname', bandwidth = `bwt'") `options'
	}
	return scalar bwidth = `bw'
	return scalar n = `npts'
	return scalar N = `N'
	return local kernel `kname'
end
