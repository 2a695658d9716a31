*! boxplot: box plots of variables, by group: quartiles, whiskers and outside values
*  boxplot varlist [if] [in] [, over(varname) horizontal nooutsides color() title()
*        subtitle() ytitle() note() saving() name()]
*  The box runs from the 25th to the 75th percentile of summarize, detail, with a line at
*  the median; each whisker ends at the last value within 1.5 interquartile ranges of
*  its box; values beyond are drawn as markers.
program boxplot, rclass
	version 9.2
	syntax varlist(numeric) [if] [in] [, OVER(varname) HORizontal NOOUTsides COLor(string asis) /*
		*/ TItle(string) SUBtitle(string) YTItle(string) NOTE(string) SAVing(string) NAME(string) SCHeme(string)]
	local vars `varlist'
	local k : word count `vars'
	if `k' > 20 {
		di as err "at most 20 variables may be drawn"
		exit 103
	}
	marksample touse, novarlist
	if "`over'" != "" {
		markout `touse' `over', strok
	}
	tempvar any
	quietly gen byte `any' = 0
	foreach v of local vars {
		quietly replace `any' = 1 if `v' < .
	}
	quietly replace `touse' = 0 if !`any'
	quietly count if `touse'
	local N = r(N)

	* The groups: the over() values in order, named by their value labels.
	local G 1
	local gcond1 1
	if "`over'" != "" {
		quietly vallist `over' if `touse'
		local vals `"`r(values)'"'
		local G : word count `vals'
		if `G' > 100 {
			di as err "`G' groups: at most 100 can be drawn"
			exit 134
		}
		local vl : value label `over'
		forvalues g = 1/`G' {
			local val : word `g' of `vals'
			capture confirm string variable `over'
			if !_rc {
				local gcond`g' `"`over' == `"`val'"'"'
				local glab`g' `"`val'"'
			}
			else {
				local gcond`g' `over' == `val'
				local glab`g' `val'
				if "`vl'" != "" {
					local glab`g' : label `vl' `val'
				}
			}
		}
	}
	if `N' == 0 {
		local G 0
	}

	* Colours: one per variable.
	local ncol : word count `color'
	forvalues j = 1/`k' {
		if `ncol' {
			local c : word `=min(`j', `ncol')' of `color'
			_gchart rgb `"`c'"'
		}
		else {
			_gchart rgb "" `j' `"`scheme'"'
		}
		local rgb`j' `rgb'
	}

	* Each box's numbers: quartiles, whisker ends, and how many lie beyond them.
	tempname S
	local nbox = `G' * `k'
	if `nbox' {
		matrix `S' = J(`nbox', 8, .)
	}
	local vlo .
	local vhi .
	local b 0
	forvalues g = 1/`G' {
		forvalues j = 1/`k' {
			local b = `b' + 1
			local v : word `j' of `vars'
			quietly summarize `v' if `touse' & `gcond`g'', detail
			local n`b' = r(N)
			matrix `S'[`b', 1] = `g'
			matrix `S'[`b', 2] = `j'
			matrix `S'[`b', 3] = `n`b''
			if r(N) == 0 {
				continue
			}
			local q1`b' = r(p25)
			local q2`b' = r(p50)
			local q3`b' = r(p75)
			local iqr = r(p75) - r(p25)
			quietly summarize `v' if `touse' & `gcond`g'' & `v' >= `q1`b'' - 1.5 * `iqr', meanonly
			local wl`b' = r(min)
			quietly summarize `v' if `touse' & `gcond`g'' & `v' <= `q3`b'' + 1.5 * `iqr', meanonly
			local wh`b' = r(max)
			quietly count if `touse' & `gcond`g'' & (`v' < `wl`b'' | (`v' > `wh`b'' & `v' < .))
			local no`b' = r(N)
			matrix `S'[`b', 4] = `q1`b''
			matrix `S'[`b', 5] = `q2`b''
			matrix `S'[`b', 6] = `q3`b''
			matrix `S'[`b', 7] = `wl`b''
			matrix `S'[`b', 8] = `wh`b''
			* the axis spans the outside values unless they are left out
			if "`nooutsides'" == "" {
				quietly summarize `v' if `touse' & `gcond`g'', meanonly
			}
			else {
				quietly summarize `v' if `touse' & `gcond`g'' & `v' >= `wl`b'' & `v' <= `wh`b'', meanonly
			}
			local vlo = min(`vlo', r(min))
			local vhi = cond(`vhi' < ., max(`vhi', r(max)), r(max))
		}
	}
	if `vlo' >= . {
		local vlo 0
		local vhi 1
	}

	* Positions: a slot per group; with several variables their boxes share it.
	local ticks
	local tlabs
	local leglabs
	local legcols
	local bw = 0.6 / `k'
	if "`over'" != "" {
		forvalues g = 1/`G' {
			local ticks `ticks' `g'
			local tlabs `"`tlabs' `"`glab`g''"'"'
		}
		if `k' > 1 {
			forvalues j = 1/`k' {
				local v : word `j' of `vars'
				local lab : variable label `v'
				if `"`lab'"' == "" {
					local lab `v'
				}
				local leglabs `"`leglabs' `"`lab'"'"'
				local legcols `"`legcols' "`rgb`j''""'
			}
		}
		local crange 0.5 `=`G' + 0.5'
	}
	else {
		* the variables themselves are the groups
		local bw 0.6
		forvalues j = 1/`k' {
			local v : word `j' of `vars'
			local lab : variable label `v'
			if `"`lab'"' == "" {
				local lab `v'
			}
			local ticks `ticks' `j'
			local tlabs `"`tlabs' `"`lab'"'"'
		}
		local crange 0.5 `=`k' + 0.5'
	}
	* sideways, the first group is at the top: positions are mirrored
	local ncat = cond("`over'" != "", `G', `k')
	if "`horizontal'" != "" {
		local mt
		foreach t of local ticks {
			local mt `mt' `=`ncat' + 1 - `t''
		}
		local ticks `mt'
	}
	local ctitle
	if "`over'" != "" {
		local ctitle : variable label `over'
		if `"`ctitle'"' == "" {
			local ctitle `over'
		}
	}
	if `k' == 1 & `"`ytitle'"' == "" {
		local ytitle : variable label `vars'
		if `"`ytitle'"' == "" {
			local ytitle `vars'
		}
	}
	_gchart fmt `: word 1 of `vars''
	local vfmt `fmt'
	local common title(`"`title'"') subtitle(`"`subtitle'"') note(`"`note'"') name(`name') scheme(`scheme') /*
		*/ leglabels(`leglabs') legcolors(`legcols')
	local empty = cond(`G', "", "empty")
	if `G' == 0 {
		local ticks
	}
	if "`horizontal'" != "" {
		_gchart begin, xrange(`vlo' `vhi') yrange(`crange') xfmt(`vfmt') xgrid yticks(`ticks') /*
			*/ ylabels(`tlabs') xtitle(`"`ytitle'"') ytitle(`"`ctitle'"') `common' `empty'
	}
	else {
		_gchart begin, yrange(`vlo' `vhi') xrange(`crange') yfmt(`vfmt') ygrid xticks(`ticks') /*
			*/ xlabels(`tlabs') ytitle(`"`ytitle'"') xtitle(`"`ctitle'"') `common' `empty'
	}

	* The boxes: filled from p25 to p75, the median across, whiskers with caps, and
	* the outside values as markers from one series set per box.
	gdi shadepattern = pattern1
	gdi gm_linewidth = 1
	local b 0
	forvalues g = 1/`G' {
		forvalues j = 1/`k' {
			local b = `b' + 1
			if `n`b'' == 0 {
				continue
			}
			local c = cond("`over'" != "", `g', `j')
			local c0 = `c' - 0.3 + (`j' - 1) * `bw' * ("`over'" != "")
			local c1 = `c0' + `bw'
			if "`horizontal'" != "" {
				local c0 = `ncat' + 1 - `c1'
				local c1 = `c0' + `bw'
			}
			local cm = (`c0' + `c1') / 2
			local e0 = `cm' - `bw' / 4
			local e1 = `cm' + `bw' / 4
			gdi linergb = `rgb`j''
			gdi shadergb = `rgb`j''
			gdi shadelevel = 35
			_gbox_rect "`horizontal'" `c0' `q1`b'' `c1' `q3`b''
			gdi shadelevel = 100
			_gbox_line "`horizontal'" `cm' `q3`b'' `cm' `wh`b''
			_gbox_line "`horizontal'" `cm' `q1`b'' `cm' `wl`b''
			_gbox_line "`horizontal'" `e0' `wh`b'' `e1' `wh`b''
			_gbox_line "`horizontal'" `e0' `wl`b'' `e1' `wl`b''
			gdi gm_linewidth = 2
			_gbox_line "`horizontal'" `c0' `q2`b'' `c1' `q2`b''
			gdi gm_linewidth = 1
			if `no`b'' & "`nooutsides'" == "" {
				local v : word `j' of `vars'
				tempvar pos
				quietly gen double `pos' = `cm' if `touse' & `gcond`g'' & (`v' < `wl`b'' | (`v' > `wh`b'' & `v' < .))
				quietly serset create `v' `pos' if `pos' < ., omitanymiss
				local set = r(id)
				gdi symbol = circle
				gdi gm_symbolsize = 300
				if "`horizontal'" != "" {
					gdi scatter `set' 1 2
				}
				else {
					gdi scatter `set' 2 1
				}
				quietly serset drop `set'
				drop `pos'
			}
		}
	}
	_gchart end, saving(`saving') axes(`gc_px0' `gc_py0' `gc_px1' `gc_py1') axiscolor(`gc_fg')
	if `N' == 0 {
		di as txt "(no observations; the axes are drawn empty)"
	}
	if `nbox' {
		matrix colnames `S' = group var N p25 p50 p75 whisklo whiskhi
		return matrix boxes = `S'
	}
	return scalar N = `N'
	return scalar N_groups = `G'
end

* _gbox_rect horizontal c0 v0 c1 v1: a rectangle given across and along the value axis.
program _gbox_rect
	args hor c0 v0 c1 v1
	if "`hor'" != "" {
		gdi rectangle `v0' `c0' `v1' `c1'
	}
	else {
		gdi rectangle `c0' `v0' `c1' `v1'
	}
end

* _gbox_line horizontal c0 v0 c1 v1: a line given across and along the value axis.
program _gbox_line
	args hor c0 v0 c1 v1
	if "`hor'" != "" {
		gdi line `v0' `c0' `v1' `c1'
	}
	else {
		gdi line `c0' `v0' `c1' `v1'
	}
end
