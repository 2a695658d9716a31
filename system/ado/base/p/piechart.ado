*! piechart: each group's share of a total (or of a sum of means), as slices of a pie
*  piechart [(sum|count|mean)] varname [if] [in] [fweight aweight], over(varname)
*        [percent color() title() subtitle() note() saving() name()]
*  Slices start at twelve o'clock and go clockwise in the order of the over() values.
program piechart, rclass
	version 9.2
	gettoken stat rest : 0, match(par)
	if "`par'" == "(" {
		local 0 `"`rest'"'
	}
	else {
		local stat sum
	}
	local stat = trim(`"`stat'"')
	if !inlist(`"`stat'"', "sum", "count", "mean") {
		di as err `"statistic `stat' not recognized; use sum, count or mean"'
		exit 198
	}
	syntax varname(numeric) [if] [in] [fweight aweight], OVER(varname) [PERcent COLor(string asis) /*
		*/ TItle(string) SUBtitle(string) NOTE(string) SAVing(string) NAME(string) SCHeme(string)]
	local wgt
	if "`weight'" != "" {
		local wgt [`weight'`exp']
	}
	marksample touse
	markout `touse' `over', strok
	quietly count if `touse'
	local N = r(N)
	local G 0
	local tot 0
	if `N' {
		tempvar s
		preserve
		quietly keep if `touse'
		quietly collapse (`stat') `s' = `varlist' `wgt', by(`over')
		local G = _N
		if `G' > 100 {
			di as err "`G' groups: at most 100 slices can be drawn"
			exit 134
		}
		forvalues g = 1/`G' {
			local v`g' = `s'[`g']
			capture confirm string variable `over'
			if !_rc {
				local l`g' = `over'[`g']
			}
			else {
				local l`g' : label (`over') `=`over'[`g']'
			}
			if `v`g'' < 0 {
				di as err `"the `stat' of `varlist' is negative for `over' = `l`g''; shares need values of 0 or more"'
				exit 459
			}
			local tot = `tot' + `v`g''
		}
		restore
	}

	* Colours and the legend: one key per group.
	local ncol : word count `color'
	local leglabs
	local legcols
	forvalues g = 1/`G' {
		if `ncol' {
			local c : word `=min(`g', `ncol')' of `color'
			_gchart rgb `"`c'"'
		}
		else {
			_gchart rgb "" `g' `"`scheme'"'
		}
		local rgb`g' `rgb'
		local leglabs `"`leglabs' `"`l`g''"'"'
		local legcols `"`legcols' "`rgb'""'
	}
	if `"`title'"' == "" {
		local lab : variable label `varlist'
		if `"`lab'"' == "" {
			local lab `varlist'
		}
		local otitle : variable label `over'
		if `"`otitle'"' == "" {
			local otitle `over'
		}
		local title `"`stat' of `lab' by `otitle'"'
	}
	local empty = cond(`tot' > 0, "", "empty")
	_gchart begin, noaxes title(`"`title'"') subtitle(`"`subtitle'"') note(`"`note'"') name(`name') scheme(`scheme') /*
		*/ leglabels(`leglabs') legcolors(`legcols') `empty'

	* The percentages, measured in the scheme's font as the other labels are: the
	* radius leaves room beside the pie for the widest and above it for their height.
	local pw 0
	local ph 0
	if "`percent'" != "" & `G' {
		local list
		forvalues g = 1/`G' {
			local t : display %9.1f 100 * cond(`tot' > 0, `v`g'' / `tot', 0)
			local pt`g' = trim("`t'") + "%"
			local list `"`list' "`pt`g''""'
		}
		quietly _gscheme measure `gc_sz' `list', scheme(`scheme')
		local pw = r(width) * 21333 / 288
		local ph = (r(ascent) + r(descent)) * 21333 / 288
	}

	* The pie: centred in the plot region, room for the labels around it.
	local cx = round((`gc_px0' + `gc_px1') / 2)
	local cy = round((`gc_py0' + `gc_py1') / 2)
	local r = 0.42 * min(`gc_px1' - `gc_px0', `gc_py1' - `gc_py0')
	local r = min(`r', ((`gc_px1' - `gc_px0') / 2 - `pw') / 1.08, ((`gc_py1' - `gc_py0') / 2 - `ph' / 2) / 1.08)
	local r = round(max(`r', 0.1 * min(`gc_px1' - `gc_px0', `gc_py1' - `gc_py0')))
	tempname S
	if `G' {
		matrix `S' = J(`G', 2, 0)
	}
	local cum 0
	gdi shadepattern = pattern1
	gdi linergb = `gc_pr'
	gdi textsize = `gc_sz'
	forvalues g = 1/`G' {
		local share = cond(`tot' > 0, `v`g'' / `tot', 0)
		matrix `S'[`g', 1] = `v`g''
		matrix `S'[`g', 2] = `share'
		if `share' > 0 {
			local a1 = 90 - 360 * (`cum' + `share')
			local a2 = 90 - 360 * `cum'
			gdi shadergb = `rgb`g''
			gdi pieslice `cx' `cy' `r' `a1' `a2'
			if "`percent'" != "" {
				* a label as close to the one before it on its side as its height (thin
				* slices) is left out rather than written over it
				local am = (`a1' + `a2') / 2 * _pi / 180
				local side = cond(cos(`am') >= 0, "left", "right")
				local ly = round(`cy' + 1.08 * `r' * sin(`am'))
				if "`last`side''" == "" | abs(`ly' - 0`last`side'') >= `ph' {
					gdi texthalign = `side'
					gdi textvalign = middle
					gdi text `=round(`cx' + 1.08 * `r' * cos(`am'))' `ly' `pt`g''
					local last`side' `ly'
				}
			}
		}
		local cum = `cum' + `share'
	}
	_gchart end, saving(`saving')
	if `tot' == 0 {
		di as txt "(nothing to share out; the pie is drawn empty)"
	}
	if `G' {
		matrix colnames `S' = `stat' share
		return matrix stats = `S'
	}
	return scalar N = `N'
	return scalar N_groups = `G'
	return scalar total = `tot'
end
