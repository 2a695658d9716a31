*! _gbars: the statistics of variables by group, drawn as bars (barchart) or dots (dotchart)
*  _gbars bar|dot [(stat)] varlist [if] [in] [fweight aweight] [, over(varname) [over(varname)]
*        stack horizontal blabel color() title() subtitle() ytitle() note() saving() name()]
*  stat is mean (the default), sum, count, median, p1 ... p99, min, max or sd. With two
*  over() the first is the outer group: its labels form a second row under the inner ones.
program _gbars, rclass
	version 9.2
	gettoken kind 0 : 0
	local rest `"`0'"'
	gettoken stat rest2 : rest, match(par)
	if "`par'" == "(" {
		local 0 `"`rest2'"'
	}
	else {
		local stat mean
	}
	local stat = trim(`"`stat'"')
	_gbars_stat `"`stat'"'
	syntax varlist(numeric) [if] [in] [fweight aweight] [, *]
	marksample touse, novarlist
	* over() may be given twice: the options are read one by one
	local overs
	local others
	while `"`options'"' != "" {
		gettoken o options : options, bind
		if lower(substr(`"`o'"', 1, 5)) == "over(" {
			local overs `overs' `=substr(`"`o'"', 6, length(`"`o'"') - 6)'
		}
		else {
			local others `"`others' `o'"'
		}
	}
	local vars `varlist'
	local wgt
	if "`weight'" != "" {
		local wgt [`weight'`exp']
	}
	local 0 `", `others'"'
	syntax [, STACK HORizontal BLABel COLor(string asis) TItle(string) SUBtitle(string) /*
		*/ YTItle(string) NOTE(string) SAVing(string) NAME(string) SCHeme(string)]
	if "`kind'" == "dot" & "`stack'" != "" {
		di as err "option stack not allowed with dots"
		exit 198
	}
	local no : word count `overs'
	if `no' > 2 {
		di as err "at most two over() variables may be given"
		exit 198
	}
	if `no' {
		local 0 `overs'
		syntax varlist(max=2)
		local overs `varlist'
	}
	local k : word count `vars'
	if `k' > 20 {
		di as err "at most 20 variables may be drawn"
		exit 103
	}
	if `no' {
		markout `touse' `overs', strok
	}
	* an observation counts when any of the variables is there; each statistic
	* skips the variable's own missing values
	tempvar any
	quietly gen byte `any' = 0
	foreach v of local vars {
		quietly replace `any' = 1 if `v' < .
	}
	quietly replace `touse' = 0 if !`any'

	* Colours: one per variable (one colour for all when a single variable is drawn).
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

	* The statistics by group: one row per group in the order of the over() values.
	quietly count if `touse'
	local N = r(N)
	local G 0
	if `N' {
		local clist
		forvalues j = 1/`k' {
			tempvar s`j'
			local v : word `j' of `vars'
			local clist `clist' `s`j''=`v'
		}
		preserve
		quietly keep if `touse'
		if `no' {
			quietly collapse (`cstat') `clist' `wgt', by(`overs')
		}
		else {
			quietly collapse (`cstat') `clist' `wgt'
		}
		local G = _N
		if `G' > 200 {
			di as err "`G' groups: at most 200 can be drawn"
			exit 134
		}
		forvalues g = 1/`G' {
			forvalues j = 1/`k' {
				local v`g'_`j' = `s`j''[`g']
			}
			* value labels or the values themselves name the groups
			local gi 0
			foreach o of local overs {
				local gi = `gi' + 1
				capture confirm string variable `o'
				if !_rc {
					local lab = `o'[`g']
				}
				else {
					local lab : label (`o') `=`o'[`g']'
				}
				local lab`gi' `"`lab'"'
			}
			if `no' {
				local in`g' `"`lab`no''"'
				if `no' == 2 {
					local out`g' `"`lab1'"'
				}
			}
		}
		restore
	}

	* Positions: one slot per group, a half slot between outer groups; bars share the
	* middle 0.8 of a slot.
	local pos 0
	local ticks
	local tlabs
	local t2
	local l2
	local first 1
	forvalues g = 1/`G' {
		local pos = `pos' + 1
		if `no' == 2 & `g' > 1 {
			if `"`out`g''"' != `"`out`=`g'-1''"' {
				local pos = `pos' + 0.5
				local t2 `t2' `=(`first' + `pos' - 1.5) / 2'
				local l2 `"`l2' `"`out`=`g'-1''"'"'
				local first = `pos'
			}
		}
		local p`g' `pos'
		local ticks `ticks' `pos'
		local tlabs `"`tlabs' `"`in`g''"'"'
	}
	if `no' == 2 & `G' {
		local t2 `t2' `=(`first' + `pos') / 2'
		local l2 `"`l2' `"`out`G''"'"'
	}
	if `G' == 0 {
		local pos 1
	}
	if "`horizontal'" != "" & `G' {
		* sideways, the first group is at the top
		local ticks
		forvalues g = 1/`G' {
			local p`g' = `pos' + 1 - `p`g''
			local ticks `ticks' `p`g''
		}
		local t2r
		foreach t of local t2 {
			local t2r `t2r' `=`pos' + 1 - `t''
		}
		local t2 `t2r'
	}

	* The value axis: bars start at zero; dots need only their own range.
	local vlo = cond("`kind'" == "bar", 0, .)
	local vhi = cond("`kind'" == "bar", 0, .)
	forvalues g = 1/`G' {
		local up 0
		local down 0
		forvalues j = 1/`k' {
			local v = `v`g'_`j''
			if `v' >= . {
				continue
			}
			if "`stack'" != "" {
				local up = `up' + max(`v', 0)
				local down = `down' + min(`v', 0)
				local vhi = max(`vhi', `up')
				local vlo = min(`vlo', `down')
			}
			else {
				local vhi = cond(`vhi' >= ., `v', max(`vhi', `v'))
				local vlo = min(`vlo', `v')
			}
		}
	}
	if `vlo' >= . {
		local vlo 0
		local vhi 1
	}
	if "`blabel'" != "" {
		local span = `vhi' - `vlo'
		local vhi = `vhi' + 0.08 * `span' * (`vhi' > 0)
		local vlo = `vlo' - 0.08 * `span' * (`vlo' < 0)
	}

	* Titles and the legend (several variables).
	local sname = cond("`stat'" == "count", "count", "`stat'")
	if `k' == 1 & `"`ytitle'"' == "" {
		local lab : variable label `vars'
		if `"`lab'"' == "" {
			local lab `vars'
		}
		local ytitle `"`sname' of `lab'"'
	}
	local leglabs
	local legcols
	if `k' > 1 {
		forvalues j = 1/`k' {
			local v : word `j' of `vars'
			local lab : variable label `v'
			if `"`lab'"' == "" {
				local lab `v'
			}
			local leglabs `"`leglabs' `"`sname' of `lab'"'"'
			local legcols `"`legcols' "`rgb`j''""'
		}
	}
	local ctitle
	if `no' {
		local o : word `no' of `overs'
		local ctitle : variable label `o'
		if `"`ctitle'"' == "" {
			local ctitle `o'
		}
		if `no' == 2 {
			local o1 : word 1 of `overs'
			local ot : variable label `o1'
			if `"`ot'"' == "" {
				local ot `o1'
			}
			local ctitle `"`ot', `ctitle'"'
		}
	}
	_gchart fmt `: word 1 of `vars''
	local vfmt `fmt'
	if "`cstat'" == "count" | "`cstat'" == "sd" {
		local vfmt %9.0g
	}
	local crange `=0.5' `=`pos' + 0.5'
	local common title(`"`title'"') subtitle(`"`subtitle'"') note(`"`note'"') name(`name') scheme(`scheme') /*
		*/ leglabels(`leglabs') legcolors(`legcols') legkind(`=cond("`kind'" == "dot", "dot", "rect")')
	if `G' == 0 {
		local empty empty
		local ticks
	}
	if "`horizontal'" != "" {
		_gchart begin, xrange(`vlo' `vhi') yrange(`crange') xfmt(`vfmt') xgrid /*
			*/ yticks(`ticks') ylabels(`tlabs') y2ticks(`t2') y2labels(`l2') /*
			*/ xtitle(`"`ytitle'"') ytitle(`"`ctitle'"') `common' `empty'
	}
	else {
		_gchart begin, yrange(`vlo' `vhi') xrange(`crange') yfmt(`vfmt') ygrid /*
			*/ xticks(`ticks') xlabels(`tlabs') x2ticks(`t2') x2labels(`l2') /*
			*/ ytitle(`"`ytitle'"') xtitle(`"`ctitle'"') `common' `empty'
	}
	local vb = cond("`horizontal'" != "", `gc_xb', `gc_yb')

	* The bars or dots; the statistics go to r(stats), a row per group.
	tempname S
	if `G' {
		matrix `S' = J(`G', `k', .)
	}
	gdi shadepattern = pattern1
	gdi textsize = `=`gc_sz' - 1'
	gdi textrgb = `gc_tc'
	local bw = cond("`stack'" != "" | "`kind'" == "dot", 0.8, 0.8 / `k')
	forvalues g = 1/`G' {
		local up 0
		local down 0
		if "`kind'" == "dot" {
			* a faint guide across the plot at each group
			gdi linergb = 200 200 200
			gdi linedash = 60 200
			if "`horizontal'" != "" {
				gdi line `gc_xlo' `p`g'' `gc_xhi' `p`g''
			}
			else {
				gdi line `p`g'' `gc_ylo' `p`g'' `gc_yhi'
			}
			gdi linedash =
		}
		forvalues j = 1/`k' {
			local v = `v`g'_`j''
			matrix `S'[`g', `j'] = `v'
			if `v' >= . {
				continue
			}
			if "`kind'" == "dot" {
				gdi linergb = `rgb`j''
				gdi symbol = circle
				gdi gm_symbolsize = 380
				if "`horizontal'" != "" {
					gdi point `v' `p`g''
				}
				else {
					gdi point `p`g'' `v'
				}
				continue
			}
			if "`stack'" != "" {
				local c0 = `p`g'' - 0.4
				local a = cond(`v' >= 0, `up', `down')
				local b = `a' + `v'
				if `v' >= 0 {
					local up = `b'
				}
				else {
					local down = `b'
				}
			}
			else {
				local c0 = `p`g'' - 0.4 + (`j' - 1) * `bw'
				local a 0
				local b = `v'
			}
			local c1 = `c0' + `bw'
			gdi linergb = `gc_pr'
			gdi shadergb = `rgb`j''
			if `v' != 0 {
				if "`horizontal'" != "" {
					gdi rectangle `a' `c0' `b' `c1'
				}
				else {
					gdi rectangle `c0' `a' `c1' `b'
				}
			}
			if "`blabel'" != "" {
				local t : display %9.4g `v'
				local t = trim("`t'")
				local cm = (`c0' + `c1') / 2
				if "`stack'" != "" {
					* inside the segment, in white
					gdi textrgb = `gc_pr'
					gdi texthalign = center
					gdi textvalign = middle
					local vm = (`a' + `b') / 2
				}
				else {
					gdi textrgb = `gc_tc'
					local off = 120 / `vb'
					local vm = `b' + cond(`v' >= 0, `off', -`off')
					if "`horizontal'" != "" {
						gdi texthalign = `=cond(`v' >= 0, "left", "right")'
						gdi textvalign = middle
					}
					else {
						gdi texthalign = center
						gdi textvalign = `=cond(`v' >= 0, "bottom", "top")'
					}
				}
				if "`horizontal'" != "" {
					gdi text `vm' `cm' `t'
				}
				else {
					gdi text `cm' `vm' `t'
				}
			}
		}
	}
	_gchart end, saving(`saving') axes(`gc_px0' `gc_py0' `gc_px1' `gc_py1') axiscolor(`gc_fg')
	if `N' == 0 {
		di as txt "(no observations; the axes are drawn empty)"
	}
	if `G' {
		matrix colnames `S' = `vars'
		return matrix stats = `S'
	}
	return scalar N = `N'
	return scalar N_groups = `G'
	return local stat `stat'
end

* _gbars_stat stat: checks the statistic and puts collapse's name of it in the caller's
* local cstat.
program _gbars_stat
	args stat
	if inlist(`"`stat'"', "mean", "sum", "count", "median", "min", "max", "sd") {
		c_local cstat `stat'
		exit
	}
	if substr(`"`stat'"', 1, 1) == "p" {
		local p = real(substr(`"`stat'"', 2, .))
		if `p' >= 1 & `p' <= 99 & `p' == floor(`p') {
			c_local cstat `stat'
			exit
		}
	}
	di as err `"statistic `stat' not recognized; use mean, sum, count, median, p1 to p99, min, max or sd"'
	exit 198
end
