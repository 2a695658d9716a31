*! overlay: scatter and line plots drawn together on one pair of axes, with titles and a legend
*  overlay (scatter|line yvars xvar [if] [in] [, plot options]) (...) [, graph options]
*  plot options:  symbol(names) color(colours) size(#s) linecolor(colours)
*                 linepattern(patterns) linewidth(#s) connect
*                 (each list has one entry per y variable; the last entry serves the rest)
*  graph options: title() subtitle() xtitle() ytitle() note() legend(off) nolegend
*                 saving(filename[, replace]) name(name)
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
			_ovl_entry `"`symbol'"' `j' `=cond("`type'" == "line", "none", "circle")'
			local s_sym`ns' `"`entry'"'
			_ovl_entry `"`size'"' `j' 1
			local s_msize`ns' `entry'
			_ovl_entry `"`linewidth'"' `j' 1.6
			local s_lw`ns' `entry'
			_ovl_entry `"`linepattern'"' `j' solid
			local s_lpat`ns' `"`entry'"'
			local pal : word `ns' of navy maroon forest_green dkorange teal cranberry lavender khaki
			if "`pal'" == "" {
				local pal black
			}
			_ovl_entry `"`color'"' `j' `pal'
			_ovl_rgb `"`entry'"' `pal'
			local s_mrgb`ns' `rgb'
			_ovl_entry `"`linecolor'"' `j' `pal'
			_ovl_rgb `"`entry'"' `pal'
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
		*/ LEGend(string) NOLEGend SAVing(string) NAME(string)]
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

	* The y labels first: the left margin is as wide as the longest.
	local ylen 1
	forvalues k = 1/`yn' {
		local t = `ylo' + (`k' - 1) * `yd'
		local lab : display `yfmt' `t'
		local lab = trim(`"`lab'"')
		local ylab`k' `"`lab'"'
		local ylen = max(`ylen', length(`"`lab'"'))
	}

	* Layout in device units: a 6 by 4 inch page is 32000 by 21333.
	local W 32000
	local H 21333
	local px0 = 1000 + 380 * `ylen' + 1300 * (`"`ytitle'"' != "")
	local px1 = `W' - 900
	local py1 = `H' - 1300 - 1100 * (`"`title'"' != "") - 1000 * (`"`subtitle'"' != "")
	local py0 = 1700 + 1100 * (`"`xtitle'"' != "") + 1300 * `showleg' + 800 * (`"`note'"' != "")
	local xb = (`px1' - `px0') / (`xhi' - `xlo')
	local yb = (`py1' - `py0') / (`yhi' - `ylo')

	if "`name'" != "" {
		_gph name `name'
	}
	gdi init 6 4 255 255 255
	gdi textrgb = 0 0 0
	gdi textsize = 9
	* plot region, grid and frame
	gdi linergb = 220 220 220
	gdi gm_linewidth = 1
	gdi shadergb = 255 255 255
	gdi shadepattern = pattern1
	gdi rectangle `px0' `py0' `px1' `py1'
	forvalues k = 1/`yn' {
		local t = `ylo' + (`k' - 1) * `yd'
		local dy = round(`py0' + (`t' - `ylo') * `yb')
		gdi line `px0' `dy' `px1' `dy'
	}
	gdi linergb = 0 0 0
	gdi line `px0' `py0' `px1' `py0'
	gdi line `px0' `py0' `px0' `py1'
	* ticks and their labels
	gdi textsize = 8
	gdi texthalign = center
	gdi textvalign = top
	forvalues k = 1/`xn' {
		local t = `xlo' + (`k' - 1) * `xd'
		local dx = round(`px0' + (`t' - `xlo') * `xb')
		gdi line `dx' `py0' `dx' `=`py0' - 300'
		local lab : display `xfmt' `t'
		local lab = trim(`"`lab'"')
		gdi text `dx' `=`py0' - 450' `lab'
	}
	gdi texthalign = right
	gdi textvalign = middle
	forvalues k = 1/`yn' {
		local t = `ylo' + (`k' - 1) * `yd'
		local dy = round(`py0' + (`t' - `ylo') * `yb')
		gdi line `px0' `dy' `=`px0' - 300' `dy'
		gdi text `=`px0' - 450' `dy' `ylab`k''
	}
	* titles
	gdi texthalign = center
	gdi textvalign = baseline
	local cx = round((`px0' + `px1') / 2)
	if `"`title'"' != "" {
		gdi textsize = 12
		gdi text `cx' `=`H' - 1500' `title'
	}
	if `"`subtitle'"' != "" {
		gdi textsize = 10
		gdi text `cx' `=`H' - 1500 - 1000 * (`"`title'"' != "")' `subtitle'
	}
	gdi textsize = 9
	if `"`xtitle'"' != "" {
		gdi text `cx' `=`py0' - 1900' `xtitle'
	}
	if `"`ytitle'"' != "" {
		gdi textangle = 90
		gdi textvalign = top
		gdi text 500 `=round((`py0' + `py1') / 2)' `ytitle'
		gdi textangle = 0
		gdi textvalign = baseline
	}
	if `"`note'"' != "" {
		gdi textsize = 7
		gdi texthalign = left
		gdi text 500 400 `note'
		gdi textsize = 9
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

	* legend: one key per series along the bottom
	if `showleg' {
		local ky = 700 + 800 * (`"`note'"' != "")
		local slot = round((`W' - 2000) / `ns')
		gdi textsize = 8
		gdi texthalign = left
		gdi textvalign = middle
		forvalues s = 1/`ns' {
			local kx = 1000 + (`s' - 1) * `slot'
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
