*! overlay: scatter and line plots drawn together on one pair of axes, with titles and a legend
*  overlay (scatter|line yvars xvar [if] [in] [, plot options]) (...) [, graph options]
*  plot options:  symbol(names) color(colours) size(#s) linecolor(colours)
*                 linepattern(patterns) linewidth(#s) connect
*                 (each list has one entry per y variable; the last entry serves the rest)
*  graph options: title() subtitle() xtitle() ytitle() note() legend(off) nolegend
*                 saving(filename[, replace]) name(name[, replace]) scheme(name)
program overlay
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
		syntax [anything] [if] [in] [, SCHeme(string) *]
		if `"`scheme'"' == "" {
			local scheme `"`sch0'"'
		}
	}
	_gscheme, scheme(`scheme')
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
		*/ size_axistitle size_ticklabel size_legend size_note {
		local sc_`v' = r(`v')
	}

	* Each plot: its series set and one series per y variable.
	local ns 0
	local xlo .
	local xhi .
	local ylo .
	local yhi .
	local xvfirst
	local yvall
	forvalues i = 1/`np' {
		local 0 `"`plot`i''"'
		gettoken type 0 : 0
		if "`type'" != "scatter" & "`type'" != "line" {
			di as err `"plot type `type' not recognized; use scatter or line"'
			exit 199
		}
		syntax varlist(min=2 numeric) [if] [in] [, SYMbol(string) COLor(string asis) /*
			*/ SIze(string) LINECOLor(string asis) LINEPATtern(string) LINEWidth(string) CONNECT *]
		local gopts `"`gopts' `options'"'
		marksample touse, novarlist
		local k : word count `varlist'
		local xvar : word `k' of `varlist'
		if "`xvfirst'" == "" {
			local xvfirst `xvar'
		}
		if "`type'" == "line" {
			quietly serset create `varlist' if `touse', omitallmiss sort(`xvar')
		}
		else {
			quietly serset create `varlist' if `touse', omitallmiss
		}
		local set = r(id)
		quietly serset summarize `k'
		if r(max) < . {
			local xlo = min(`xlo', r(min))
			local xhi = cond(`xhi' < ., max(`xhi', r(max)), r(max))
		}
		local km1 = `k' - 1
		foreach o in symbol color size linecolor linepattern linewidth {
			local n : word count ``o''
			if `n' > `km1' {
				di as err `"`o'() has `n' entries for `km1' series"'
				exit 198
			}
		}
		foreach o in size linewidth {
			foreach v of local `o' {
				if real(`"`v'"') >= . {
					di as err `"`o'(): `v' is not a number"'
					exit 198
				}
			}
		}
		forvalues j = 1/`km1' {
			local ns = `ns' + 1
			local yv : word `j' of `varlist'
			local yvall `yvall' `yv'
			quietly serset summarize `j'
			if r(max) < . {
				local ylo = min(`ylo', r(min))
				local yhi = cond(`yhi' < ., max(`yhi', r(max)), r(max))
			}
			local s_set`ns' `set'
			local s_x`ns' `k'
			local s_y`ns' `j'
			local s_type`ns' `type'
			local s_conn`ns' = "`type'" == "line" | "`connect'" != ""
			local sk = mod(`ns' - 1, `sc_nser') + 1
			_ovl_entry `"`symbol'"' `j' `=cond("`type'" == "line", "none", "`sc_sym`sk''")'
			local s_sym`ns' `"`entry'"'
			_ovl_entry `"`size'"' `j' 1
			local s_msize`ns' = `entry' * `sc_markersize'
			_ovl_entry `"`linewidth'"' `j' `sc_linewidth'
			local s_lw`ns' `entry'
			_ovl_entry `"`linepattern'"' `j' `sc_pat`sk''
			local s_lpat`ns' `"`entry'"'
			local pal `"`sc_col`sk''"'
			_ovl_entry `"`color'"' `j' ""
			_ovl_rgb `"`entry'"' `"`pal'"'
			local s_mrgb`ns' `rgb'
			_ovl_entry `"`linecolor'"' `j' ""
			_ovl_rgb `"`entry'"' `"`pal'"'
			local s_lrgb`ns' `rgb'
			local lab : variable label `yv'
			if `"`lab'"' == "" {
				local lab `yv'
			}
			local s_lab`ns' `"`lab'"'
		}
	}

	* Graph options (those given inside a plot count too).
	local 0 `", `gopts'"'
	syntax [, TItle(string) SUBtitle(string) XTItle(string) YTItle(string) NOTE(string) /*
		*/ LEGend(string) NOLEGend SAVing(string) NAME(string) SCHeme(string)]
	if `"`xtitle'"' == "" {
		local xtitle : variable label `xvfirst'
		if `"`xtitle'"' == "" {
			local xtitle `xvfirst'
		}
	}
	if `"`ytitle'"' == "" & `ns' == 1 {
		local ytitle `"`s_lab1'"'
	}
	local showleg = `ns' > 1
	if "`legend'" == "off" | "`nolegend'" != "" {
		local showleg 0
	}
	else if "`legend'" == "on" {
		local showleg 1
	}
	else if "`legend'" != "" {
		di as err `"legend(`legend') invalid; use legend(on) or legend(off)"'
		exit 198
	}

	* Axis scales in steps of 1, 2 or 5 times a power of ten.
	if `xlo' >= . {
		local xlo 0
		local xhi 1
	}
	if `ylo' >= . {
		local ylo 0
		local yhi 1
	}
	_natscale `xlo' `xhi' 5
	local xlo = r(min)
	local xhi = r(max)
	local xd = r(delta)
	local xn = r(nticks)
	_natscale `ylo' `yhi' 5
	local ylo = r(min)
	local yhi = r(max)
	local yd = r(delta)
	local yn = r(nticks)
	local xfmt : format `xvfirst'
	local yv1 : word 1 of `yvall'
	local yfmt : format `yv1'

	* Tick labels in the variables' display formats, and the legend's texts.
	local ylabs
	forvalues k = 1/`yn' {
		local t = `ylo' + (`k' - 1) * `yd'
		local lab : display `yfmt' `t'
		local lab = trim(`"`lab'"')
		local ylab`k' `"`lab'"'
		local ylabs `"`ylabs' `"`lab'"'"'
	}
	local xlabs
	forvalues k = 1/`xn' {
		local t = `xlo' + (`k' - 1) * `xd'
		local lab : display `xfmt' `t'
		local lab = trim(`"`lab'"')
		local xlab`k' `"`lab'"'
		local xlabs `"`xlabs' `"`lab'"'"'
	}
	local leglabs
	local keyh 0
	if `showleg' {
		forvalues s = 1/`ns' {
			local leglabs `"`leglabs' `"`s_lab`s''"'"'
			local keyh = max(`keyh', 420 * `s_msize`s'')
		}
	}

	* Where everything goes, from the texts measured in the scheme's font.
	_glayout, title(`"`title'"') subtitle(`"`subtitle'"') xtitle(`"`xtitle'"') /*
		*/ ytitle(`"`ytitle'"') note(`"`note'"') xlabels(`xlabs') ylabels(`ylabs') /*
		*/ legend(`leglabs') keyheight(`keyh') scheme(`scheme')
	foreach v in px0 px1 py0 py1 xangle xstep ystep xlab_y ylab_x tick title_x title_y /*
		*/ subtitle_y note_x note_y xtitle_y ytitle_x title_size subtitle_size note_size /*
		*/ xtitle_size ytitle_size {
		local L_`v' = r(`v')
	}
	forvalues s = 1/`ns' {
		local L_legx`s' = r(legx`s')
		local L_legy`s' = r(legy`s')
	}
	local px0 = round(`L_px0')
	local px1 = round(`L_px1')
	local py0 = round(`L_py0')
	local py1 = round(`L_py1')
	local xb = (`px1' - `px0') / (`xhi' - `xlo')
	local yb = (`py1' - `py0') / (`yhi' - `ylo')

	if `"`name'"' != "" {
		_gph name `name'
	}
	gdi init 6 4 `sc_background'
	gdi textfont = `sc_font'
	gdi textrgb = `sc_textcolor'
	gdi textsize = `sc_size_axistitle'
	* plot region, grid and frame
	gdi linergb = `sc_plotregion'
	gdi gm_linewidth = 0
	gdi shadergb = `sc_plotregion'
	gdi shadepattern = pattern1
	gdi rectangle `px0' `py0' `px1' `py1'
	if `"`sc_grid'"' != "" {
		gdi linergb = `sc_grid'
		gdi gm_linewidth = `sc_gridwidth'
		forvalues k = 1/`yn' {
			local t = `ylo' + (`k' - 1) * `yd'
			local dy = round(`py0' + (`t' - `ylo') * `yb')
			gdi line `px0' `dy' `px1' `dy'
		}
	}
	gdi linergb = `sc_foreground'
	gdi gm_linewidth = `sc_axiswidth'
	gdi line `px0' `py0' `px1' `py0'
	gdi line `px0' `py0' `px0' `py1'
	* ticks and their labels: x labels turned or thinned when they would touch
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
	local ty = round(`L_xlab_y')
	local tl = round(`L_tick')
	forvalues k = 1/`xn' {
		local t = `xlo' + (`k' - 1) * `xd'
		local dx = round(`px0' + (`t' - `xlo') * `xb')
		gdi line `dx' `py0' `dx' `=`py0' - `tl''
		if mod(`k' - 1, `L_xstep') == 0 {
			gdi text `dx' `ty' `xlab`k''
		}
	}
	gdi textangle = 0
	gdi texthalign = right
	gdi textvalign = middle
	local tx = round(`L_ylab_x')
	forvalues k = 1/`yn' {
		local t = `ylo' + (`k' - 1) * `yd'
		local dy = round(`py0' + (`t' - `ylo') * `yb')
		gdi line `px0' `dy' `=`px0' - `tl'' `dy'
		if mod(`k' - 1, `L_ystep') == 0 {
			gdi text `tx' `dy' `ylab`k''
		}
	}
	* titles
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
	local cx = round((`px0' + `px1') / 2)
	if `"`xtitle'"' != "" {
		gdi textsize = `L_xtitle_size'
		gdi text `=round(`L_title_x')' `=round(`L_xtitle_y')' `xtitle'
	}
	if `"`ytitle'"' != "" {
		gdi textsize = `L_ytitle_size'
		gdi textangle = 90
		gdi textvalign = top
		gdi text `=round(`L_ytitle_x')' `=round((`py0' + `py1') / 2)' `ytitle'
		gdi textangle = 0
		gdi textvalign = baseline
	}
	if `"`note'"' != "" {
		gdi textsize = `L_note_size'
		gdi texthalign = left
		gdi text `=round(`L_note_x')' `=round(`L_note_y')' `note'
	}

	* the series, in data units
	gdi xalpha = `=`px0' - `xlo' * `xb''
	gdi xbeta = `xb'
	gdi yalpha = `=`py0' - `ylo' * `yb''
	gdi ybeta = `yb'
	forvalues s = 1/`ns' {
		if `s_conn`s'' {
			gdi linergb = `s_lrgb`s''
			gdi gm_linewidth = `s_lw`s''
			_ovl_dash `s_lpat`s''
			gdi penchange
			gdi scatterline `s_set`s'' `s_x`s'' `s_y`s''
		}
		if "`s_sym`s''" != "none" {
			gdi linergb = `s_mrgb`s''
			gdi gm_linewidth = 1
			gdi linedash =
			gdi symbol = `s_sym`s''
			gdi gm_symbolsize = `=340 * `s_msize`s'''
			gdi scatter `s_set`s'' `s_x`s'' `s_y`s''
		}
	}
	gdi xalpha = 0
	gdi xbeta = 1
	gdi yalpha = 0
	gdi ybeta = 1

	* legend: one key per series along the bottom, in as many rows as it needs
	if `showleg' {
		gdi textsize = `sc_size_legend'
		gdi texthalign = left
		gdi textvalign = middle
		forvalues s = 1/`ns' {
			local kx = round(`L_legx`s'')
			local ky = round(`L_legy`s'')
			if `s_conn`s'' {
				gdi linergb = `s_lrgb`s''
				gdi gm_linewidth = `s_lw`s''
				_ovl_dash `s_lpat`s''
				gdi line `kx' `ky' `=`kx' + 1400' `ky'
			}
			if "`s_sym`s''" != "none" {
				gdi linergb = `s_mrgb`s''
				gdi gm_linewidth = 1
				gdi linedash =
				gdi symbol = `s_sym`s''
				gdi gm_symbolsize = `=340 * `s_msize`s'''
				gdi point `=`kx' + 700' `ky'
			}
			gdi text `=`kx' + 1700' `ky' `s_lab`s''
		}
	}
	gdi end
	forvalues s = 1/`ns' {
		capture serset drop `s_set`s''
	}
	if `"`saving'"' != "" {
		gettoken sfile sopts : saving, parse(",")
		_gph save `sfile' `sopts'
	}
end

* _ovl_entry "list" j default: entry j of the list (the last entry past its end,
* the default for an empty list) into the caller's local entry.
program _ovl_entry
	args list j def
	local n : word count `list'
	if `n' == 0 {
		c_local entry `def'
		exit
	}
	local v : word `=min(`j', `n')' of `list'
	c_local entry `v'
end

* _ovl_rgb "colour" default: the colour's r g b into the caller's local rgb.
program _ovl_rgb
	args col def
	if `"`col'"' == "" {
		local col `def'
	}
	local n : word count `col'
	if `n' == 3 {
		c_local rgb `col'
		exit
	}
	local names black white gray navy maroon forest_green dkorange teal cranberry lavender /*
		*/ khaki red green blue orange purple brown
	local rgbs `""0 0 0" "255 255 255" "128 128 128" "26 71 111" "144 53 59" "85 117 47" "227 126 0" "0 128 128" "193 5 52" "147 141 210" "202 194 126" "255 0 0" "0 128 0" "0 0 255" "255 165 0" "128 0 128" "165 42 42""'
	local i : list posof `"`col'"' in names
	if `i' == 0 {
		di as err `"colour `col' not recognized"'
		exit 198
	}
	local v : word `i' of `rgbs'
	c_local rgb `v'
end

* _ovl_dash pattern: sets the line dash for solid, dash, dot, dash_dot, shortdash, longdash.
program _ovl_dash
	args pat
	if "`pat'" == "" | "`pat'" == "solid" {
		gdi linedash =
	}
	else if "`pat'" == "dash" {
		gdi linedash = 400 250
	}
	else if "`pat'" == "dot" {
		gdi linedash = 60 200
	}
	else if "`pat'" == "dash_dot" {
		gdi linedash = 400 200 60 200
	}
	else if "`pat'" == "shortdash" {
		gdi linedash = 200 200
	}
	else if "`pat'" == "longdash" {
		gdi linedash = 800 300
	}
	else {
		di as err `"line pattern `pat' not recognized"'
		exit 198
	}
end
