*! overlay: plots of several kinds drawn together on shared axes, in one panel or one per group
*  overlay (type ...) (type ...) ... [, graph options]
*  types:  scatter yvars xvar          line yvars xvar            (markers, lines)
*          linfit y x    quadfit y x   linfitci y x [, level(#)]  (fitted lines, the band shaded)
*          lowessline y x [, bwidth(#)]   kdensline x [, bwidth(#) kernel(name) n(#)]
*          function [y =] exp-in-x, range(a b) [n(#)]
*          area y x [, base(#)]   bar y x [, base(#) barwidth(#)]   rcap ylo yhi x [, capwidth(#)]
*  plot options:  symbol() color() size() linecolor() linepattern() linewidth() connect
*                 (one entry per series; the last entry serves the rest), labels(var) labelpos(#)
*  graph options: title() subtitle() xtitle() ytitle() note() legend(on|off|bottom|top|left|right)
*                 by(varlist) xlog ylog xrange(a b) yrange(a b) xticks(numlist) yticks(numlist)
*                 xline(numlist) yline(numlist) text(y x "text" ...) aspect(#)
*                 saving(filename[, replace]) name(name[, replace]) scheme(name)
*  Colours, symbols, patterns, widths, the font and text sizes come from the
*  scheme; texts are placed by _glayout from their measured sizes.
*  The stages, each a program below: _ovl_plots splits the command into plots
*  and finds the scheme they name, _ovl_look reads that scheme's look,
*  _ovl_plot reads one plot (its syntax, sample and series) and _ovl_groups
*  numbers the groups of by(). The data of every plot and group is then
*  frozen into series sets (fitted values computed there, by _ovlfit), their
*  ranges give the shared axes (_ovl_axis), _glayout places the texts, and
*  each panel is drawn with the series clipped to its plot region. Axis
*  ticks, tick labels, legend keys, colours and line patterns come from
*  _ovldraw.
program overlay
	version 9.2
	* The plots, the graph options and the scheme they name.
	_ovl_plots `0'
	_ovl_look `"`scheme'"'

	* Each plot: its syntax, its sample and its series with their look.
	local ns 0
	local anyvar
	forvalues i = 1/`np' {
		* the sample marker of a plot of variables is made where its syntax is read
		gettoken type : plot`i'
		if "`type'" != "function" {
			tempvar touse`i'
		}
		_ovl_plot `i' "`touse`i''" `"`plot`i''"'
		local type `p_type`i''
		if "`type'" != "function" {
			local anyvar `anyvar' `touse`i''
			if "`xvfirst'" == "" & "`type'" != "kdensline" {
				local xvfirst `xvar'
			}
			* value labels are drawn as their text
			if "`labvl'" != "" {
				tempvar lt`i'
				quietly decode `p_lab`i'', generate(`lt`i'')
				local p_lab`i' `lt`i''
			}
		}
		local gopts `"`gopts' `options'"'
		foreach o in symbol color size linecolor linepattern linewidth {
			local n : word count ``o''
			if `n' > `nser' {
				di as err `"`o'() has `n' entries for `nser' series"'
				exit 198
			}
		}
		foreach o in size linewidth {
			foreach v of local `o' {
				if real(`"`v'"') >= . | real(`"`v'"') < 0 {
					di as err `"`o'(): `v' is not a number of 0 or more"'
					exit 198
				}
			}
		}
		local p_s0`i' = `ns' + 1
		forvalues j = 1/`nser' {
			local ns = `ns' + 1
			local s_plot`ns' `i'
			local s_lab`ns' `"`slab`j''"'
			* what the series draws: markers, a connected line, or a shape
			local shape
			local conn = "`type'" != "scatter" | "`connect'" != ""
			if inlist("`type'", "area", "bar", "rcap") | ("`type'" == "linfitci" & `j' == 1) {
				local shape = cond("`type'" == "linfitci", "band", "`type'")
				local conn = "`type'" == "area"
			}
			local s_shape`ns' `shape'
			local s_conn`ns' `conn'
			local sk = mod(`ns' - 1, `sc_nser') + 1
			_ovldraw entry `"`symbol'"' `j' `=cond("`type'" == "scatter", "`sc_sym`sk''", "none")'
			local s_sym`ns' `"`entry'"'
			if "`shape'" != "" & "`symbol'" == "" {
				local s_sym`ns' none
			}
			_ovldraw entry `"`size'"' `j' 1
			local s_msize`ns' = `entry' * `sc_markersize'
			_ovldraw entry `"`linewidth'"' `j' `sc_linewidth'
			local s_lw`ns' `entry'
			_ovldraw entry `"`linepattern'"' `j' `=cond("`type'" == "line", "`sc_pat`sk''", "solid")'
			local s_lpat`ns' `"`entry'"'
			_ovldraw dash `s_lpat`ns'', check
			local pal `"`sc_col`sk''"'
			if "`shape'" == "band" {
				local pal 160 160 160
			}
			_ovldraw entry `"`color'"' `j' ""
			_ovldraw rgb `"`entry'"' `"`pal'"'
			local s_mrgb`ns' `rgb'
			_ovldraw entry `"`linecolor'"' `j' ""
			_ovldraw rgb `"`entry'"' `"`pal'"'
			local s_lrgb`ns' `rgb'
		}
		local p_s1`i' `ns'
	}

	* Graph options (those given inside a plot count too).
	local 0 `", `gopts'"'
	syntax [, TItle(string) SUBtitle(string) XTItle(string) YTItle(string) NOTE(string) /*
		*/ LEGend(string) NOLEGend SAVing(string) NAME(string) BY(varlist) XLOG YLOG /*
		*/ XRANGE(numlist min=2 max=2) YRANGE(numlist min=2 max=2) XTICKS(numlist) YTICKS(numlist) /*
		*/ XLINE(numlist) YLINE(numlist) TEXT(string asis) ASPECT(real 0) SCHeme(string)]
	if `"`xtitle'"' == "" & "`xvfirst'" != "" {
		local xtitle : variable label `xvfirst'
		if `"`xtitle'"' == "" {
			local xtitle `xvfirst'
		}
	}
	if `"`xtitle'"' == "" & "`p_type1'" == "kdensline" {
		local xtitle `p_vars1'
	}
	if `"`ytitle'"' == "" & `ns' == 1 {
		local ytitle `"`s_lab1'"'
	}
	local showleg = `ns' > 1
	local legpos bottom
	if "`legend'" == "off" | "`nolegend'" != "" {
		local showleg 0
	}
	else if "`legend'" == "on" {
		local showleg 1
	}
	else if inlist("`legend'", "bottom", "top", "left", "right") {
		local showleg 1
		local legpos `legend'
	}
	else if "`legend'" != "" {
		di as err `"legend(`legend') invalid; use on, off, bottom, top, left or right"'
		exit 198
	}
	if `aspect' < 0 {
		di as err "aspect() must be above 0"
		exit 198
	}
	foreach a in x y {
		if "``a'range'" != "" {
			gettoken r0 r1 : `a'range
			if !(`r0' < `r1') {
				di as err "`a'range() must be two numbers, the first below the second"
				exit 198
			}
			if "``a'log'" != "" & !(`r0' > 0) {
				di as err "`a'range() must be above 0 on a log scale"
				exit 198
			}
		}
		if "``a'log'" != "" {
			foreach t of local `a'ticks {
				if !(`t' > 0) {
					di as err "`a'ticks(): `t' cannot be shown on a log scale"
					exit 198
				}
			}
		}
	}
	* text(y x "text" ...): checked now, drawn in every panel
	local ntext 0
	local trest `"`text'"'
	while `"`trest'"' != "" {
		gettoken ty trest : trest
		gettoken tx trest : trest
		gettoken tt trest : trest
		if real(`"`ty'"') >= . | real(`"`tx'"') >= . | `"`tt'"' == "" {
			di as err `"text() takes triples y x "text""'
			exit 198
		}
		local ntext = `ntext' + 1
		local t_y`ntext' `ty'
		local t_x`ntext' `tx'
		local t_s`ntext' `"`tt'"'
	}

	* Groups of by(): numbered 1..G in sort order; the data are left in group
	* order until the series sets are made, then put back (by ord).
	local G 1
	if "`by'" != "" {
		tempvar ord any grp gsz
		local sb : sortedby
		_ovl_groups `ord' `any' `grp' `gsz', by(`by') sortedby(`sb') markers(`anyvar')
	}

	* Pass 1: the series sets of every plot and group, and their ranges.
	local xlo .
	local xhi .
	local ylo .
	local yhi .
	local sets
	local xpos = cond("`xlog'" != "", "positive", "")
	local ypos = cond("`ylog'" != "", "positive", "")
	* (with by() the data are in group order until the sets are made; the
	* order they had is put back whatever happens)
	capture noisily {
	forvalues i = 1/`np' {
		local type `p_type`i''
		if "`type'" == "function" {
			continue
		}
		local vars `p_vars`i''
		local k : word count `vars'
		local xv : word `k' of `vars'
		if inlist("`type'", "linfit", "quadfit", "linfitci", "lowessline") {
			tempvar f`i' lo`i' hi`i'
			quietly gen double `f`i'' = .
			if "`type'" == "linfitci" {
				quietly gen double `lo`i'' = .
				quietly gen double `hi`i'' = .
			}
		}
		if "`type'" == "kdensline" {
			tempvar gx`i' gd`i'
			quietly gen double `gx`i'' = .
			quietly gen double `gd`i'' = .
		}
		forvalues g = 1/`G' {
			local cond `p_touse`i''
			local inr
			if "`by'" != "" {
				local cond `cond' & `grp' == `g'
				local inr `g_in`g''
			}
			local srt
			if "`type'" == "scatter" {
				local svars `vars' `p_lab`i''
			}
			else if inlist("`type'", "line", "area") {
				local svars `vars' `p_lab`i''
				local srt sort(`xv')
			}
			else if inlist("`type'", "bar", "rcap") {
				local svars `vars'
			}
			else if "`type'" == "kdensline" {
				quietly replace `gx`i'' = .
				quietly replace `gd`i'' = .
				_ovlfit kdens `vars' if `cond' `inr', x(`gx`i'') d(`gd`i'') n(`p_n`i'') /*
					*/ bwidth(`p_bw`i'') kernel(`p_kern`i'')
				local svars `gd`i'' `gx`i''
				local cond `gx`i'' < .
				local inr
				local srt sort(`gx`i'')
			}
			else {
				gettoken yv : vars
				local bw = cond("`p_bw`i''" == "", "0.8", "`p_bw`i''")
				_ovlfit fit `type' `yv' `xv' if `cond' `inr', f(`f`i'') lo(`lo`i'') hi(`hi`i'') /*
					*/ level(`p_level`i'') bwidth(`bw')
				local svars `f`i''
				if "`type'" == "linfitci" {
					local svars `svars' `lo`i'' `hi`i''
				}
				local svars `svars' `xv'
				local cond `cond' & `f`i'' < .
				local srt sort(`xv')
			}
			quietly serset create `svars' if `cond' `inr', omitallmiss `srt'
			local set = r(id)
			local nobs = r(N)
			local sets `sets' `set'
			local kk : word count `svars'
			local xj = `kk' - ("`p_lab`i''" != "")
			if "`type'" == "kdensline" {
				local xj 2
			}
			quietly serset summarize `xj' `xpos'
			local lo = r(min)
			local hi = r(max)
			if "`type'" == "bar" & `hi' < . {
				local w `p_barw`i''
				if `w' == 0 {
					local w = cond(`nobs' > 1 & `hi' > `lo', 0.8 * (`hi' - `lo') / (`nobs' - 1), 0.8)
				}
				local p_bw`i'_`g' `w'
				local lo = `lo' - `w' / 2
				local hi = `hi' + `w' / 2
				if "`xlog'" != "" & !(`lo' > 0) {
					local lo = (`lo' + `w' / 2) / 2
				}
			}
			if `hi' < . {
				local xlo = min(`xlo', `lo')
				local xhi = cond(`xhi' < ., max(`xhi', `hi'), `hi')
			}
			* the y variables of the set (and the base of areas and bars)
			local yjs 1
			if inlist("`type'", "scatter", "line") {
				local yjs
				forvalues j = 1/`=`k' - 1' {
					local yjs `yjs' `j'
				}
			}
			else if "`type'" == "linfitci" {
				local yjs 1 2 3
			}
			else if "`type'" == "rcap" {
				local yjs 1 2
			}
			foreach j of local yjs {
				quietly serset summarize `j' `ypos'
				if r(max) < . {
					local ylo = min(`ylo', r(min))
					local yhi = cond(`yhi' < ., max(`yhi', r(max)), r(max))
				}
			}
			if inlist("`type'", "area", "bar") & "`ylog'" == "" {
				local ylo = min(`ylo', `p_base`i'')
				local yhi = cond(`yhi' < ., max(`yhi', `p_base`i''), `p_base`i'')
			}
			* where each series finds its data in the set
			forvalues s = `p_s0`i''/`p_s1`i'' {
				local j = `s' - `p_s0`i'' + 1
				local s_set`s'_`g' `set'
				local s_x`s' `xj'
				local s_y`s' `j'
				if "`type'" == "linfitci" {
					local s_y`s' = cond(`j' == 1, 2, 1)
					local s_y2`s' 3
				}
				if "`type'" == "rcap" {
					local s_y`s' 1
					local s_y2`s' 2
				}
				if "`p_lab`i''" != "" {
					local s_l`s' `kk'
					local s_lpos`s' `p_lpos`i''
				}
			}
		}
	}
	}
	local rc = _rc
	if "`by'" != "" {
		quietly sort `sb' `ord'
	}
	if `rc' {
		foreach s of local sets {
			capture serset drop `s'
		}
		exit `rc'
	}
	* functions last: without range() they span the x range of the other plots
	forvalues i = 1/`np' {
		if "`p_type`i''" != "function" {
			continue
		}
		local r `p_range`i''
		if "`r'" == "" {
			local r `xrange'
		}
		if "`r'" == "" {
			local r = cond(`xlo' < ., "`xlo' `xhi'", "0 1")
		}
		gettoken a b : r
		if "`xlog'" != "" & !(`a' > 0) {
			di as err "function: range() must be above 0 on a log scale"
			exit 198
		}
		_ovlfit fn `a' `b' `p_n`i'' `"`p_exp`i''"' "`xlog'"
		local sets `sets' `set'
		local xlo = min(`xlo', `a')
		local xhi = cond(`xhi' < ., max(`xhi', `b'), `b')
		quietly serset summarize 1 `ypos'
		if r(max) < . {
			local ylo = min(`ylo', r(min))
			local yhi = cond(`yhi' < ., max(`yhi', r(max)), r(max))
		}
		local s `p_s0`i''
		forvalues g = 1/`G' {
			local s_set`s'_`g' `set'
		}
		local s_x`s' 2
		local s_y`s' 1
	}

	if `ylo' >= . {
		di as txt "(no observations to draw)"
	}

	* The panels' grid, and as many ticks as its columns and rows leave room for.
	local nrows = ceil(sqrt(`G'))
	local ncols = ceil(`G' / `nrows')
	if `ncols' < `nrows' {
		local t `ncols'
		local ncols `nrows'
		local nrows `t'
	}
	local xnt = max(2, min(5, round(6 / `ncols') + 1))
	local ynt = max(2, min(5, round(6 / `nrows') + 1))
	* Axis scales: nice ticks in steps of 1, 2 or 5 times a power of ten,
	* decades on a log scale; xrange() and yrange() fix the ends. Tick labels
	* take the format of the axis variable, or its value labels.
	local xfmt %9.0g
	local xvl
	if "`xvfirst'" != "" {
		local xfmt : format `xvfirst'
		local xvl : value label `xvfirst'
	}
	local yv1 : word 1 of `p_vars1'
	local yfmt %9.0g
	local yvl
	if "`yv1'" != "" & inlist("`p_type1'", "scatter", "line", "area", "bar", "rcap") {
		local yfmt : format `yv1'
		local yvl : value label `yv1'
	}
	if "`xlog'" != "" {
		local xfmt %9.0g
	}
	if "`ylog'" != "" {
		local yfmt %9.0g
	}
	_ovl_axis x `xlo' `xhi' `xnt' "`xlog'" "`xrange'" "`xticks'" `xfmt' "`xvl'"
	_ovl_axis y `ylo' `yhi' `ynt' "`ylog'" "`yrange'" "`yticks'" `yfmt' "`yvl'"

	* Layout in device units (a 6 by 4 inch page is 32000 by 21333): the
	* titles, tick labels and a bottom legend placed by _glayout from their
	* measured sizes; the panels share what is left.
	local W 32000
	local H 21333
	local U = `H' / 288
	local xlabs
	forvalues k = 1/`xn' {
		local xlabs `"`xlabs' `"`xlab`k''"'"'
	}
	local ylabs
	forvalues k = 1/`yn' {
		local ylabs `"`ylabs' `"`ylab`k''"'"'
	}
	* a legend text wider than its place (a row across the page less the
	* margins, or the side column) is cut there, between whole characters
	if `showleg' {
		local legmax = cond(inlist("`legpos'", "left", "right"), 12000 - 1700 - 9 * `U', /*
			*/ `W' - 2000 - 1700 - (6 + `sc_margin_left' + `sc_margin_right') * `U')
		forvalues s = 1/`ns' {
			quietly _gscheme cut `sc_size_legend' `=`legmax' / `U'' `"`s_lab`s''"', scheme(`sc_use')
			local s_lab`s' `"`r(text)'"'
		}
	}
	local leglabs
	local keyh 500
	if `showleg' {
		forvalues s = 1/`ns' {
			local leglabs `"`leglabs' `"`s_lab`s''"'"'
			local keyh = max(`keyh', 420 * `s_msize`s'')
		}
	}
	local botleg = cond(`showleg' & "`legpos'" == "bottom", `"`leglabs'"', "")
	_glayout, title(`"`title'"') subtitle(`"`subtitle'"') xtitle(`"`xtitle'"') /*
		*/ ytitle(`"`ytitle'"') note(`"`note'"') xlabels(`xlabs') ylabels(`ylabs') /*
		*/ legend(`botleg') keyheight(`keyh') scheme(`sc_use')
	foreach v in px0 px1 py0 py1 xangle xstep ystep xlab_y ylab_x tick title_x title_y /*
		*/ subtitle_y note_x note_y xtitle_y ytitle_x title_size subtitle_size note_size /*
		*/ xtitle_size ytitle_size th xlw xw1 xwn xband ylw ytop {
		local L_`v' = r(`v')
	}
	forvalues s = 1/`ns' {
		local L_legx`s' = r(legx`s')
		local L_legy`s' = r(legy`s')
	}
	local gap = 3 * `U'
	local legw 0
	local legrows 0
	local legrh 0
	if `showleg' & "`legpos'" != "bottom" {
		quietly _gscheme measure `sc_size_legend' `leglabs', scheme(`sc_use')
		local legrh = max((r(ascent) + r(descent)) * `U', `keyh') + `gap'
		local entw = 1700 + r(width) * `U' + 2 * `gap'
		if inlist("`legpos'", "left", "right") {
			local legw = min(`entw' + `gap', 12000)
		}
		else {
			local legcols = max(1, min(`ns', floor((`W' - 2000) / `entw')))
			local legrows = ceil(`ns' / `legcols')
		}
	}
	local L0 = `L_px0' + `legw' * ("`legpos'" == "left")
	local R0 = `L_px1' - `legw' * ("`legpos'" == "right")
	local T0 = `L_py1' - `legrh' * `legrows' * ("`legpos'" == "top")
	local B0 = `L_py0'
	* panels: a strip for the group's name; room between them for the labels
	* smaller strips past four rows, so that 100 panels fit the page
	local stripf = cond(`nrows' > 4, 7 / 8, 1)
	local strip = cond("`by'" != "", max(cond(`nrows' > 4, 600, 800), `L_th' * `stripf' * 1.3), 0)
	local gapx = cond(`G' > 1, max(1200, (`L_xw1' + `L_xwn') / 2 + `gap'), 0)
	* x labels go under the lowest panel of each column only
	local gapy = cond(`G' > 1, 500, 0)
	local cw = (`R0' - `L0' - (`ncols' - 1) * `gapx') / `ncols'
	local ch = (`T0' - `B0' - (`nrows' - 1) * `gapy' - `nrows' * `strip') / `nrows'
	if `cw' < 500 | `ch' < 500 {
		di as err "no room to draw the plot region; shorten the titles or the legend"
		exit 198
	}
	if `aspect' > 0 {
		if `ch' > `aspect' * `cw' {
			local ch = `aspect' * `cw'
		}
		else {
			local cw = `ch' / `aspect'
		}
	}
	* tick labels thinned again for the panels' own width and height
	local xstep `L_xstep'
	if `xn' > 1 {
		local sp = `cw' / (`xn' - 1)
		if `L_xangle' {
			local xstep = max(`xstep', ceil((`L_th' + `gap') / (`sp' * sqrt(0.5))))
		}
		else {
			local xstep = max(`xstep', ceil((`L_xlw' + `gap') / `sp'))
		}
	}
	local ystep `L_ystep'
	if `yn' > 1 {
		local ystep = max(`ystep', ceil((`L_th' + `gap' / 2) / (`ch' / (`yn' - 1))))
	}
	local xoff = `L_py0' - `L_xlab_y'
	local yoff = `L_px0' - `L_ylab_x'
	local tl = round(`L_tick')
	* the grid of panels centred in the room left for it
	local gw = `ncols' * `cw' + (`ncols' - 1) * `gapx'
	local gh = `nrows' * (`ch' + `strip') + (`nrows' - 1) * `gapy'
	local L0 = `L0' + (`R0' - `L0' - `gw') / 2
	local T0 = `T0' - (`T0' - `B0' - `gh') / 2
	local xb = `cw' / (cond("`xlog'" != "", ln(`xhi') - ln(`xlo'), `xhi' - `xlo'))
	local yb = `ch' / (cond("`ylog'" != "", ln(`yhi') - ln(`ylo'), `yhi' - `ylo'))
	local xtr = cond("`xlog'" != "", "ln", "linear")
	local ytr = cond("`ylog'" != "", "ln", "linear")
	local lxlo = cond("`xlog'" != "", ln(`xlo'), `xlo')
	local lylo = cond("`ylog'" != "", ln(`ylo'), `ylo')

	if `"`name'"' != "" {
		_gph name `name'
	}
	gdi init 6 4 `sc_background'
	gdi textfont = `sc_font'
	gdi textrgb = `sc_textcolor'
	forvalues g = 1/`G' {
		local r = ceil(`g' / `ncols')
		local c = `g' - (`r' - 1) * `ncols'
		local px0 = round(`L0' + (`c' - 1) * (`cw' + `gapx'))
		local px1 = round(`px0' + `cw')
		local py1 = round(`T0' - (`r' - 1) * (`ch' + `strip' + `gapy') - `strip')
		local py0 = round(`py1' - `ch')
		* plot region, grid and frame
		gdi linergb = `sc_plotregion'
		gdi gm_linewidth = 0
		gdi linedash =
		gdi shadergb = `sc_plotregion'
		gdi shadepattern = pattern1
		gdi shadelevel = 100
		gdi rectangle `px0' `py0' `px1' `py1'
		local dys
		foreach t of local ytk {
			local dy = round(`py0' + (cond("`ylog'" != "", ln(`t'), `t') - `lylo') * `yb')
			local dys `dys' `dy'
		}
		if `"`sc_grid'"' != "" {
			gdi linergb = `sc_grid'
			gdi gm_linewidth = `sc_gridwidth'
			foreach dy of local dys {
				gdi line `px0' `dy' `px1' `dy'
			}
		}
		if `strip' {
			gdi shadergb = 234 234 234
			gdi gm_linewidth = 0
			gdi rectangle `px0' `py1' `px1' `=round(`py1' + `strip')'
			gdi textsize = `=`sc_size_ticklabel' * `stripf''
			gdi texthalign = center
			gdi textvalign = middle
			gdi text `=round((`px0' + `px1') / 2)' `=round(`py1' + `strip' / 2)' `g_lab`g''
		}
		gdi linergb = `sc_foreground'
		gdi gm_linewidth = `sc_axiswidth'
		gdi line `px0' `py0' `px1' `py0'
		gdi line `px0' `py0' `px0' `py1'
		* ticks and their labels: x under the lowest panel of each column,
		* where nothing is drawn below (turned or thinned when they would
		* touch); y left of the first column
		gdi textsize = `sc_size_ticklabel'
		if `L_xangle' {
			gdi textangle = `L_xangle'
			gdi texthalign = right
			gdi textvalign = middle
		}
		else {
			gdi texthalign = center
			gdi textvalign = top
		}
		local k 0
		foreach t of local xtk {
			local k = `k' + 1
			local dx = round(`px0' + (cond("`xlog'" != "", ln(`t'), `t') - `lxlo') * `xb')
			gdi line `dx' `py0' `dx' `=`py0' - `tl''
			if `g' + `ncols' > `G' & mod(`k' - 1, `xstep') == 0 {
				gdi text `dx' `=round(`py0' - `xoff')' `xlab`k''
			}
		}
		gdi textangle = 0
		gdi texthalign = right
		gdi textvalign = middle
		local k 0
		foreach dy of local dys {
			local k = `k' + 1
			gdi line `px0' `dy' `=`px0' - `tl'' `dy'
			if `c' == 1 & mod(`k' - 1, `ystep') == 0 {
				gdi text `=round(`px0' - `yoff')' `dy' `ylab`k''
			}
		}
		* the series in data units, clipped to the plot region
		gdi xtransform = `xtr'
		gdi ytransform = `ytr'
		gdi xalpha = `=`px0' - `lxlo' * `xb''
		gdi xbeta = `xb'
		gdi yalpha = `=`py0' - `lylo' * `yb''
		gdi ybeta = `yb'
		gdi clip `px0' `py0' `px1' `py1'
		* reference lines
		if "`yline'`xline'" != "" {
			gdi linergb = 128 128 128
			gdi gm_linewidth = 1
		}
		foreach v of local yline {
			if `v' >= `ylo' & `v' <= `yhi' {
				gdi line `xlo' `v' `xhi' `v'
			}
		}
		foreach v of local xline {
			if `v' >= `xlo' & `v' <= `xhi' {
				gdi line `v' `ylo' `v' `yhi'
			}
		}
		forvalues s = 1/`ns' {
			local set `s_set`s'_`g''
			local i `s_plot`s''
			if "`s_shape`s''" != "" {
				gdi shadergb = `s_mrgb`s''
				gdi shadepattern = pattern1
				gdi linergb = `s_lrgb`s''
				_ovldraw dash `s_lpat`s''
				gdi penchange
			}
			if "`s_shape`s''" == "band" {
				gdi shadelevel = 35
				gdi gm_linewidth = 0
				gdi scatterband `set' `s_x`s'' `s_y`s'' `s_y2`s''
			}
			else if "`s_shape`s''" == "area" {
				gdi shadelevel = 50
				gdi gm_linewidth = 0
				gdi scatterarea `set' `s_x`s'' `s_y`s'' `=cond("`ylog'" != "", max(`ylo', `p_base`i''), `p_base`i'')'
			}
			else if "`s_shape`s''" == "bar" {
				gdi shadelevel = 100
				gdi gm_linewidth = 1
				gdi scatterbar `set' `s_x`s'' `s_y`s'' `=cond("`ylog'" != "", max(`ylo', `p_base`i''), `p_base`i'')' `p_bw`i'_`g''
			}
			else if "`s_shape`s''" == "rcap" {
				gdi gm_linewidth = `s_lw`s''
				gdi scatterrcap `set' `s_x`s'' `s_y`s'' `s_y2`s'' `=400 * `p_capw`i'''
			}
			if `s_conn`s'' {
				gdi linergb = `s_lrgb`s''
				gdi gm_linewidth = `s_lw`s''
				_ovldraw dash `s_lpat`s''
				gdi penchange
				gdi scatterline `set' `s_x`s'' `s_y`s''
			}
			if "`s_sym`s''" != "none" {
				gdi linergb = `s_mrgb`s''
				gdi gm_linewidth = 1
				gdi linedash =
				gdi symbol = `s_sym`s''
				gdi gm_symbolsize = `=340 * `s_msize`s'''
				gdi scatter `set' `s_x`s'' `s_y`s''
			}
			if "`s_l`s''" != "" {
				_ovldraw labpos `s_lpos`s''
				gdi textsize = `sc_size_note'
				gdi texthalign = `lh'
				gdi textvalign = `lv'
				* the label of every marker inside the region, kept inside it
				* (turned to the marker's other side, or slid back, at an edge)
				gdi scatterlabel `set' `s_x`s'' `s_y`s'' `s_l`s'' `ldx' `ldy'
			}
		}
		* annotations at data coordinates, when inside the region
		if `ntext' {
			gdi textsize = `sc_size_ticklabel'
			gdi texthalign = center
			gdi textvalign = middle
		}
		forvalues k = 1/`ntext' {
			if `t_x`k'' >= `xlo' & `t_x`k'' <= `xhi' & `t_y`k'' >= `ylo' & `t_y`k'' <= `yhi' {
				gdi text `t_x`k'' `t_y`k'' `t_s`k''
			}
		}
		gdi clip
		gdi xtransform = linear
		gdi ytransform = linear
		gdi xalpha = 0
		gdi xbeta = 1
		gdi yalpha = 0
		gdi ybeta = 1
	}
	local gx0 = round(`L0')
	local gx1 = round(`L0' + `gw')
	local gy1 = round(`T0')
	local gy0 = round(`T0' - `gh')
	* titles, where _glayout put them
	gdi texthalign = center
	gdi textvalign = baseline
	if `"`title'"' != "" {
		gdi textsize = `L_title_size'
		gdi text `=round(`L_title_x')' `=round(`L_title_y')' `title'
	}
	if `"`subtitle'"' != "" {
		gdi textsize = `L_subtitle_size'
		gdi text `=round(`L_title_x')' `=round(`L_subtitle_y')' `subtitle'
	}
	if `"`xtitle'"' != "" {
		gdi textsize = `L_xtitle_size'
		gdi text `=round(`L_title_x')' `=round(`L_xtitle_y')' `xtitle'
	}
	if `"`ytitle'"' != "" {
		gdi textsize = `L_ytitle_size'
		gdi textangle = 90
		gdi textvalign = top
		gdi text `=round(`L_ytitle_x')' `=round((`gy0' + `gy1') / 2)' `ytitle'
		gdi textangle = 0
		gdi textvalign = baseline
	}
	if `"`note'"' != "" {
		gdi textsize = `L_note_size'
		gdi texthalign = left
		gdi text `=round(`L_note_x')' `=round(`L_note_y')' `note'
	}

	* legend: keys along the bottom (placed by _glayout) or top in rows, or
	* in a column at a side
	if `showleg' {
		gdi textsize = `sc_size_legend'
		gdi texthalign = left
		gdi textvalign = middle
		forvalues s = 1/`ns' {
			if inlist("`legpos'", "left", "right") {
				local kx = round(cond("`legpos'" == "right", `L_px1' - `legw' + `gap', `L_px0' - `L_ylw' - `L_tick' - `gap'))
				local ky = round((`gy0' + `gy1') / 2 + (`ns' / 2 - `s' + 0.5) * `legrh')
			}
			else if "`legpos'" == "top" {
				local row = ceil(`s' / `legcols')
				local col = `s' - (`row' - 1) * `legcols'
				local kx = round(1000 + (`col' - 1) * (`W' - 2000) / `legcols')
				local ky = round(`L_ytop' - (`row' - 0.5) * `legrh')
			}
			else {
				local kx = round(`L_legx`s'')
				local ky = round(`L_legy`s'')
			}
			_ovldraw key `s' `kx' `ky' `"`s_shape`s''"' `s_conn`s'' `"`s_sym`s''"' /*
				*/ "`s_mrgb`s''" "`s_lrgb`s''" `s_lw`s'' `"`s_lpat`s''"' `s_msize`s''
			gdi text `=`kx' + 1700' `ky' `s_lab`s''
		}
	}
	gdi end
	foreach s of local sets {
		capture serset drop `s'
	}
	if `"`saving'"' != "" {
		gettoken sfile sopts : saving, parse(",")
		_gph save `sfile' `sopts'
	}
end


* _ovl_plots (plot) (plot) ... [, graph options]: the text of each plot into
* the caller's locals np and plot1, plot2, ..., the graph options into gopts,
* and the scheme named (by any plot's scheme() or the graph options', the
* last one given) into scheme.
program _ovl_plots
	version 9.2
	local rest `"`0'"'
	local np 0
	local gopts
	while 1 {
		gettoken tok rest : rest, parse(" ,") match(par)
		if `"`tok'"' == "" {
			continue, break
		}
		if "`par'" == "(" {
			local np = `np' + 1
			local plot`np' `"`tok'"'
		}
		else if `"`tok'"' == "," {
			local gopts `"`rest'"'
			continue, break
		}
		else {
			di as err `"`tok' found where (plot) expected"'
			exit 198
		}
	}
	if `np' == 0 {
		di as err "nothing to draw; type (scatter y x) or (line y x)"
		exit 198
	}

	* The look: colours, symbols, patterns, font and sizes of the scheme
	* (scheme() may come with any plot's options or after them all).
	local 0 `", `gopts'"'
	syntax [, SCHeme(string) *]
	forvalues i = 1/`np' {
		local 0 `"`plot`i''"'
		gettoken type 0 : 0
		local sch0 `"`scheme'"'
		syntax [anything(equalok)] [if] [in] [, SCHeme(string) *]
		if `"`scheme'"' == "" {
			local scheme `"`sch0'"'
		}
	}
	c_local np `np'
	forvalues i = 1/`np' {
		c_local plot`i' `"`plot`i''"'
	}
	c_local gopts `"`gopts'"'
	c_local scheme `"`scheme'"'
end

* _ovl_look scheme: the look of the scheme (the active one when it is empty)
* into the caller's locals: sc_use the scheme, sc_nser the series styles it
* has and sc_col#, sc_sym#, sc_pat# each one's colour, symbol and line
* pattern, and sc_background, sc_plotregion, sc_foreground, sc_textcolor,
* sc_grid, sc_font, sc_linewidth, sc_markersize, sc_gridwidth, sc_axiswidth,
* the sc_size_* text sizes and the sc_margin_* margins.
program _ovl_look
	version 9.2
	args scheme
	_gscheme, scheme(`scheme')
	local sc_use `"`scheme'"'
	local sc_nser = r(nseries)
	forvalues k = 1/`sc_nser' {
		local sc_col`k' `"`r(color`k')'"'
		local sc_sym`k' `r(symbol`k')'
		local sc_pat`k' `r(pattern`k')'
	}
	foreach v in background plotregion foreground textcolor grid font {
		local sc_`v' `"`r(`v')'"'
	}
	foreach v in linewidth markersize gridwidth axiswidth size_title size_subtitle /*
		*/ size_axistitle size_ticklabel size_legend size_note margin_left margin_right {
		local sc_`v' = r(`v')
	}
	c_local sc_use `"`sc_use'"'
	c_local sc_nser `sc_nser'
	forvalues k = 1/`sc_nser' {
		c_local sc_col`k' `"`sc_col`k''"'
		c_local sc_sym`k' `sc_sym`k''
		c_local sc_pat`k' `sc_pat`k''
	}
	foreach v in background plotregion foreground textcolor grid font linewidth markersize /*
		*/ gridwidth axiswidth size_title size_subtitle size_axistitle size_ticklabel /*
		*/ size_legend size_note margin_left margin_right {
		c_local sc_`v' `"`sc_`v''"'
	}
end

* _ovl_plot i "touse" "type args [if] [in] [, options]": reads plot i, its
* type's syntax, the sample (into the marker variable touse, made here; none
* for a function) and its series, into the caller's locals: p_type#, and the
* plot's settings p_exp#, p_range#, p_n# (function), p_touse#, p_vars#,
* p_lab#, p_lpos#, p_bw#, p_kern#, p_base#, p_barw#, p_capw#, p_level#
* (# is i); xvar its x variable, labvl the value label of its labels()
* variable; nser its series and slab1, slab2, ... their legend texts; the
* per-series options symbol, color, size, linecolor, linepattern, linewidth
* and connect, and the rest of its options in options.
program _ovl_plot
	version 9.2
	gettoken i 0 : 0
	gettoken touse 0 : 0
	gettoken 0 : 0
	gettoken type 0 : 0
	local sty SYMbol(string) COLor(string asis) SIze(string) LINECOLor(string asis) /*
		*/ LINEPATtern(string) LINEWidth(string) CONNECT SCHeme(string)
	local types scatter line linfit quadfit linfitci lowessline kdensline function area bar rcap
	local ok : list type in types
	if !`ok' {
		di as err `"plot type `type' not recognized"'
		di as err "{p}use scatter, line, linfit, quadfit, linfitci, lowessline, kdensline, function, area, bar or rcap{p_end}"
		exit 199
	}
	local p_type`i' `type'
	local labels
	local labelpos 3
	local level = c(level)
	if "`type'" == "function" {
		syntax anything(equalok) [, RANGE(numlist min=2 max=2) N(integer 300) `sty' *]
		if `n' < 2 | `n' > 10000 {
			di as err "function: n() must be an integer from 2 to 10000"
			exit 198
		}
		if "`range'" != "" {
			gettoken a b : range
			if !(`a' < `b') {
				di as err "function: range() must be two numbers, the first below the second"
				exit 198
			}
		}
		* `y = exp' names the curve y; the expression is in x
		local fexp `"`anything'"'
		local flab `"`anything'"'
		local eq = strpos(`"`anything'"', "=")
		if `eq' > 1 & substr(`"`anything'"', `eq' + 1, 1) != "=" {
			local pre = trim(substr(`"`anything'"', 1, `eq' - 1))
			capture confirm name `pre'
			local nw : word count `pre'
			if !_rc & `nw' == 1 {
				local fexp = trim(substr(`"`anything'"', `eq' + 1, .))
			}
		}
		local p_exp`i' `"`fexp'"'
		local p_range`i' `range'
		local p_n`i' `n'
		local nser 1
		local slab1 `"`flab'"'
	}
	else {
		local vspec "varlist(min=2 numeric)"
		local extra
		if inlist("`type'", "linfit", "quadfit", "linfitci", "lowessline", "area", "bar") {
			local vspec "varlist(min=2 max=2 numeric)"
		}
		if "`type'" == "kdensline" {
			local vspec "varname(numeric)"
			local extra BWidth(real 0) Kernel(string) N(integer 100)
		}
		if "`type'" == "rcap" {
			local vspec "varlist(min=3 max=3 numeric)"
			local extra CAPWidth(real 1)
		}
		if inlist("`type'", "scatter", "line") {
			local extra LABels(varname) LABELPos(integer 3)
		}
		if "`type'" == "linfitci" {
			local extra Level(cilevel)
		}
		if "`type'" == "lowessline" {
			local extra BWidth(real 0.8)
		}
		if inlist("`type'", "area", "bar") {
			local extra BASE(real 0)
		}
		if "`type'" == "bar" {
			local extra `extra' BARWidth(real 0)
		}
		syntax `vspec' [if] [in] [, `sty' `extra' *]
		mark `touse' `if' `in'
		local p_touse`i' `touse'
		local p_vars`i' `varlist'
		local k : word count `varlist'
		local xvar : word `k' of `varlist'
		if "`type'" == "kdensline" {
			local xvar `varlist'
		}
		if "`labels'" != "" {
			if `labelpos' < 0 | `labelpos' > 12 {
				di as err "labelpos() must be a clock position from 0 to 12"
				exit 198
			}
			* value labels are drawn as their text (the caller decodes them)
			local labvl : value label `labels'
			local p_lab`i' `labels'
			local p_lpos`i' `labelpos'
		}
		if "`type'" == "kdensline" {
			if `bwidth' < 0 {
				di as err "kdensline: bwidth() must be above 0"
				exit 198
			}
			if `n' < 2 {
				di as err "kdensline: n() must be at least 2"
				exit 198
			}
			if "`kernel'" == "" {
				local kernel epanechnikov
			}
			local p_bw`i' `bwidth'
			local p_kern`i' `kernel'
			local p_n`i' = min(`n', _N)
		}
		if "`type'" == "lowessline" {
			if !(`bwidth' > 0 & `bwidth' <= 1) {
				di as err "lowessline: bwidth() must be above 0 and at most 1"
				exit 198
			}
			local p_bw`i' `bwidth'
		}
		if inlist("`type'", "area", "bar") {
			local p_base`i' `base'
		}
		if "`type'" == "bar" {
			if `barwidth' < 0 {
				di as err "bar: barwidth() must be above 0"
				exit 198
			}
			local p_barw`i' `barwidth'
		}
		if "`type'" == "rcap" {
			local p_capw`i' `capwidth'
		}
		local p_level`i' `level'
		* the series of the plot and their legend texts
		local nser 1
		if inlist("`type'", "scatter", "line") {
			local nser = `k' - 1
			forvalues j = 1/`nser' {
				local yv : word `j' of `varlist'
				local slab`j' : variable label `yv'
				if `"`slab`j''"' == "" {
					local slab`j' `yv'
				}
			}
		}
		else if inlist("`type'", "area", "bar") {
			local yv : word 1 of `varlist'
			local slab1 : variable label `yv'
			if `"`slab1'"' == "" {
				local slab1 `yv'
			}
		}
		else if "`type'" == "linfitci" {
			local nser 2
			local slab1 `"`level'% CI"'
			local slab2 "Linear fit"
		}
		else if "`type'" == "linfit" {
			local slab1 "Linear fit"
		}
		else if "`type'" == "quadfit" {
			local slab1 "Quadratic fit"
		}
		else if "`type'" == "lowessline" {
			local slab1 "Lowess smooth"
		}
		else if "`type'" == "kdensline" {
			local slab1 "Kernel density"
		}
		else if "`type'" == "rcap" {
			local slab1 "Range"
		}
	}
	foreach v in type exp range n touse vars lab lpos bw kern base barw capw level {
		c_local p_`v'`i' `"`p_`v'`i''"'
	}
	c_local xvar `xvar'
	c_local labvl `labvl'
	c_local nser `nser'
	forvalues j = 1/`nser' {
		c_local slab`j' `"`slab`j''"'
	}
	foreach v in options symbol color size linecolor linepattern linewidth connect {
		c_local `v' `"``v''"'
	}
end

* _ovl_groups ord any grp gsz, by(varlist) sortedby(varlist) markers(varlist):
* the groups of the by() variables among the observations that any plot uses
* (any of the markers set), numbered 1..G in sort order. The variables named
* are made here: ord the original order, any the observation is used, grp its
* group (missing when unused), gsz its group's size. The data are left sorted
* by group (unused observations first); with more than 100 groups they are
* put back in their order and the result is 134. Into the caller's locals: G
* (1 when there is no group), g_lab# each group's label (its values, with
* their value labels) and g_in# its run of observations (`in a/b').
program _ovl_groups
	version 9.2
	syntax namelist(min=4 max=4), by(varlist) [sortedby(string) markers(string)]
	foreach v in ord any grp gsz {
		gettoken `v' namelist : namelist
	}
	local anyvar `markers'
	local sb `sortedby'
	quietly {
		gen long `ord' = _n
		gen byte `any' = 0
		foreach t of local anyvar {
			replace `any' = 1 if `t'
		}
		bysort `any' `by' (`ord'): gen long `grp' = _n == 1
		by `any' `by': gen long `gsz' = _N
		replace `grp' = sum(`grp' * `any')
		count if !`any'
		local pos = r(N) + 1
		local G = cond(`pos' <= _N, `grp'[_N], 0)
	}
	if `G' > 100 {
		quietly sort `sb' `ord'
		di as err "by(): `G' groups; at most 100 panels can be drawn"
		exit 134
	}
	forvalues g = 1/`G' {
		local lab
		foreach v of local by {
			capture confirm string variable `v'
			if !_rc {
				local t = `v'[`pos']
			}
			else {
				local t : display `: format `v'' `v'[`pos']
				local t = trim(`"`t'"')
				local vl : value label `v'
				if "`vl'" != "" & `v'[`pos'] < . {
					local t : label `vl' `=`v'[`pos']'
				}
			}
			local lab = cond(`"`lab'"' == "", `"`t'"', `"`lab', `t'"')
		}
		local g_lab`g' `"`lab'"'
		* while the data stay in group order, each group is a run of observations
		local g_in`g' in `pos'/`=`pos' + `gsz'[`pos'] - 1'
		local pos = `pos' + `gsz'[`pos']
	}
	quietly replace `grp' = . if !`any'
	if `G' == 0 {
		local G 1
		local g_lab1
		local g_in1
	}
	c_local G `G'
	forvalues g = 1/`G' {
		c_local g_lab`g' `"`g_lab`g''"'
		c_local g_in`g' `g_in`g''
	}
end

* _ovl_axis a lo hi n "log" "range" "ticks" fmt "vallab": axis a (x or y) over
* the data range lo to hi with about n ticks (on a log scale when log is not
* empty; range() and ticks() as given to overlay), into the caller's locals
* `a'lo and `a'hi the axis ends, `a'tk the ticks, `a'n their number and
* `a'lab1, `a'lab2, ... their labels in the format fmt or the value label.
program _ovl_axis
	version 9.2
	args a lo hi n log range ticks fmt vl
	_ovldraw axis `lo' `hi' `n' "`log'" "`range'" "`ticks'"
	c_local `a'lo `ax_lo'
	c_local `a'hi `ax_hi'
	c_local `a'tk `ax_ticks'
	local k 0
	foreach t of local ax_ticks {
		local k = `k' + 1
		_ovldraw ticklab `t' `fmt' "`vl'"
		c_local `a'lab`k' `"`ticklab'"'
	}
	c_local `a'n `k'
end
