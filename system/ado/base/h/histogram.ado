*! histogram: the distribution of a variable as bars over bins of equal width
*  histogram varname [if] [in] [fweight aweight] [, bin(#) width(#) start(#)
*        density|fraction|frequency|percent discrete normal kdens addlabels horizontal
*        color() title() subtitle() xtitle() ytitle() note() saving() name()]
*  Bins are closed on the left, [start + (j-1) width, start + j width), and the last one
*  on both sides, so the maximum falls in it. The bin table is left in r(bins).
program histogram, rclass
	version 9.2
	syntax varname(numeric) [if] [in] [fweight aweight] [, BIN(string) Width(string) Start(string) /*
		*/ DENsity FRACtion FREQuency PERcent DISCrete NORMal KDENS ADDLabels HORizontal /*
		*/ COLor(string asis) TItle(string) SUBtitle(string) XTItle(string) YTItle(string) /*
		*/ NOTE(string) SAVing(string) NAME(string) SCHeme(string)]
	local x `varlist'
	marksample touse
	local wgt
	if "`weight'" != "" {
		local wgt [`weight'`exp']
	}
	local units `density' `fraction' `frequency' `percent'
	if `: word count `units'' > 1 {
		di as err "only one of density, fraction, frequency and percent may be given"
		exit 198
	}
	local unit = cond("`units'" == "", "density", "`units'")
	foreach o in bin width start {
		if `"``o''"' != "" & real(`"``o''"') >= . {
			di as err `"`o'(``o''): a number is needed"'
			exit 198
		}
	}
	if "`bin'" != "" {
		if `bin' <= 0 | `bin' != floor(`bin') {
			di as err "bin(`bin'): the number of bins must be a positive integer"
			exit 198
		}
		if `bin' > 10000 {
			di as err "bin(`bin'): at most 10,000 bins"
			exit 198
		}
		if "`width'" != "" {
			di as err "options bin() and width() may not be combined"
			exit 184
		}
		if "`discrete'" != "" {
			di as err "options bin() and discrete may not be combined"
			exit 184
		}
	}
	if "`width'" != "" {
		if `width' <= 0 {
			di as err "width(`width'): the bin width must be above 0"
			exit 198
		}
	}
	_gchart rgb `"`color'"' 1 `"`scheme'"'
	local fill `rgb'
	_gchart rgb "" 2 `"`scheme'"'
	local ncol `rgb'

	local lab : variable label `x'
	if `"`lab'"' == "" {
		local lab `x'
	}
	local ulab = upper(substr("`unit'", 1, 1)) + substr("`unit'", 2, .)
	if `"`xtitle'"' == "" {
		local xtitle `"`lab'"'
	}
	if `"`ytitle'"' == "" {
		local ytitle `ulab'
	}
	_gchart fmt `x'
	local xfmt `fmt'

	quietly summarize `x' `wgt' if `touse'
	local N = r(N)
	if `N' == 0 {
		* nothing to count: empty axes, as the other graph commands draw them
		if "`horizontal'" != "" {
			_gchart begin, xtitle(`"`ytitle'"') ytitle(`"`xtitle'"') title(`"`title'"') /*
				*/ subtitle(`"`subtitle'"') note(`"`note'"') name(`name') scheme(`scheme') empty
		}
		else {
			_gchart begin, xtitle(`"`xtitle'"') ytitle(`"`ytitle'"') title(`"`title'"') /*
				*/ subtitle(`"`subtitle'"') note(`"`note'"') name(`name') scheme(`scheme') empty
		}
		_gchart end, saving(`saving') axes(`gc_px0' `gc_py0' `gc_px1' `gc_py1') axiscolor(`gc_fg')
		di as txt "(no observations; the axes are drawn empty)"
		return scalar N = 0
		return scalar N_bins = 0
		exit
	}
	tempname lo hi w s0 F R B
	scalar `lo' = r(min)
	scalar `hi' = r(max)
	local mean = r(mean)
	local sd = r(sd)

	* The bins: their width, where the first starts, and how many.
	if "`start'" != "" {
		if `start' > `lo' {
			di as err "start(`start') is above the minimum of `x' (" `lo' ")"
			exit 198
		}
	}
	if "`discrete'" != "" {
		* one bin per value: the width is the smallest gap between two values
		if "`width'" != "" {
			scalar `w' = `width'
		}
		else {
			preserve
			quietly keep if `touse'
			keep `x'
			sort `x'
			tempvar gap
			quietly gen double `gap' = `x' - `x'[_n - 1]
			quietly summarize `gap' if `gap' > 0, meanonly
			scalar `w' = cond(r(N) > 0, r(min), 1)
			restore
		}
		scalar `s0' = cond("`start'" != "", real("`start'"), `lo' - `w' / 2)
		local k = floor((`hi' - `s0') / `w' + 1e-9) + 1
	}
	else {
		scalar `s0' = cond("`start'" != "", real("`start'"), `lo')
		if "`width'" != "" {
			scalar `w' = `width'
			local k = max(1, ceil((`hi' - `s0') / `w' - 1e-9))
		}
		else {
			* Sturges' rule: ceil(log2 N) + 1 bins
			local k = cond("`bin'" != "", real("`bin'"), ceil(ln(`N') / ln(2) - 1e-9) + 1)
			scalar `w' = (`hi' - `s0') / `k'
			if `w' == 0 {
				* every value the same: bins of width 1, the first centred on it
				scalar `w' = 1
				local k = cond("`bin'" != "", real("`bin'"), 1)
				if "`start'" == "" {
					scalar `s0' = `lo' - 0.5
				}
			}
		}
	}
	if `k' > 10000 {
		di as err "width() gives " `k' " bins; at most 10,000 are drawn"
		exit 198
	}

	* Each observation's bin; the quotient is checked against the bin edges, which
	* rounding in the division could leave on the wrong side.
	tempvar b
	quietly gen long `b' = floor((`x' - `s0') / `w') + 1 if `touse'
	quietly replace `b' = `b' - 1 if `touse' & `b' > 1 & `x' < `s0' + (`b' - 1) * `w'
	quietly replace `b' = `b' + 1 if `touse' & `b' < `k' & `x' >= `s0' + `b' * `w'
	quietly replace `b' = min(max(`b', 1), `k') if `touse'
	quietly tabulate `b' `wgt' if `touse', matcell(`F') matrow(`R')
	matrix `B' = J(`k', 3, 0)
	forvalues j = 1/`k' {
		matrix `B'[`j', 1] = `s0' + (`j' - 1) * `w'
		matrix `B'[`j', 2] = `s0' + `j' * `w'
	}
	local tot 0
	forvalues r = 1/`= rowsof(`R')' {
		local j = `R'[`r', 1]
		matrix `B'[`j', 3] = `F'[`r', 1]
		local tot = `tot' + `F'[`r', 1]
	}
	matrix colnames `B' = start end count

	* Bar heights in the unit asked for; the curves are scaled to the same unit.
	local scale = cond("`unit'" == "density", 1 / (`tot' * `w'), cond("`unit'" == "fraction", /*
		*/ 1 / `tot', cond("`unit'" == "percent", 100 / `tot', 1)))
	local cscale = `scale' * `tot' * `w'
	local hmax 0
	forvalues j = 1/`k' {
		local h`j' = `B'[`j', 3] * `scale'
		local hmax = max(`hmax', `h`j'')
	}
	if "`normal'" != "" {
		if !(`sd' > 0) {
			di as err "normal: `x' does not vary"
			exit 198
		}
		local hmax = max(`hmax', `cscale' * normalden(0) / `sd')
	}
	if "`kdens'" != "" {
		if !(`sd' > 0) {
			di as err "kdens: `x' does not vary"
			exit 198
		}
		tempvar kx kd
		local n = min(_N, 100)
		capture noisily kdens `x' `wgt' if `touse', nograph generate(`kx' `kd') n(`n')
		if _rc {
			exit _rc
		}
		quietly replace `kd' = `kd' * `cscale'
		quietly summarize `kd', meanonly
		local hmax = max(`hmax', r(max))
	}
	if "`addlabels'" != "" {
		local hmax = `hmax' * 1.08
	}
	if `hmax' == 0 {
		local hmax 1
	}
	local e1 = `s0'
	local e2 = `s0' + `k' * `w'

	local common title(`"`title'"') subtitle(`"`subtitle'"') note(`"`note'"') name(`name') scheme(`scheme')
	if "`horizontal'" != "" {
		_gchart begin, xrange(0 `hmax') yrange(`e1' `e2') yfmt(`xfmt') ynticks(8) xgrid /*
			*/ xtitle(`"`ytitle'"') ytitle(`"`xtitle'"') `common'
	}
	else {
		_gchart begin, xrange(`e1' `e2') yrange(0 `hmax') xfmt(`xfmt') xnticks(8) ygrid /*
			*/ xtitle(`"`xtitle'"') ytitle(`"`ytitle'"') `common'
	}
	gdi linergb = `gc_pr'
	gdi shadergb = `fill'
	gdi shadepattern = pattern1
	forvalues j = 1/`k' {
		if `h`j'' > 0 {
			local a = `B'[`j', 1]
			local c = `B'[`j', 2]
			if "`horizontal'" != "" {
				gdi rectangle 0 `a' `h`j'' `c'
			}
			else {
				gdi rectangle `a' 0 `c' `h`j''
			}
		}
	}
	if "`addlabels'" != "" {
		gdi textsize = `=`gc_sz' - 1'
		gdi textrgb = `gc_tc'
		if "`horizontal'" != "" {
			gdi texthalign = left
			gdi textvalign = middle
		}
		else {
			gdi texthalign = center
			gdi textvalign = bottom
		}
		forvalues j = 1/`k' {
			local t : display %9.4g `h`j''
			local t = trim("`t'")
			local mid = `B'[`j', 1] + `w' / 2
			if "`horizontal'" != "" {
				gdi text `=`h`j'' + 150 / `gc_xb'' `mid' `t'
			}
			else {
				gdi text `mid' `=`h`j'' + 100 / `gc_yb'' `t'
			}
		}
	}
	* the curves over the bars: the normal density solid, the kernel density dashed
	gdi gm_linewidth = 1.6
	if "`normal'" != "" {
		gdi linergb = `ncol'
		local lo0 = cond("`horizontal'" != "", `gc_ylo', `gc_xlo')
		local hi0 = cond("`horizontal'" != "", `gc_yhi', `gc_xhi')
		forvalues i = 0/100 {
			local t = `lo0' + (`hi0' - `lo0') * `i' / 100
			local d = `cscale' * normalden((`t' - `mean') / `sd') / `sd'
			local op = cond(`i' == 0, "moveto", "lineto")
			if "`horizontal'" != "" {
				gdi `op' `d' `t'
			}
			else {
				gdi `op' `t' `d'
			}
		}
	}
	if "`kdens'" != "" {
		gdi linergb = `gc_fg'
		gdi linedash = 400 250
		quietly serset create `kx' `kd' if `kd' < ., omitanymiss sort(`kx')
		local set = r(id)
		if "`horizontal'" != "" {
			gdi scatterline `set' 2 1
		}
		else {
			gdi scatterline `set' 1 2
		}
		gdi linedash =
		quietly serset drop `set'
	}
	_gchart end, saving(`saving') axes(`gc_px0' `gc_py0' `gc_px1' `gc_py1') axiscolor(`gc_fg')

	return matrix bins = `B'
	return scalar N = `tot'
	return scalar N_bins = `k'
	return scalar width = `w'
	return scalar start = `s0'
end
