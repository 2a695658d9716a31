*! _gchart: the page, axes, titles and legend shared by the chart commands
*  _gchart begin, xrange(lo hi) yrange(lo hi) [options]   draws everything but the data and
*        leaves the drawing transform in data units; posts gc_* locals in the caller
*  _gchart rgb "colour" # [scheme]   the colour's r g b in rgb: a name, "r g b", or (for "")
*        series colour # of the scheme
*  _gchart fmt varname        the format of tick labels for the variable's values, in fmt
*  _gchart end [, saving(filename[, replace]) axes(px0 py0 px1 py1)]   axes() draws the
*        axis lines again over the data
*  An axis is numeric (ticks on a nice scale over its range, labels in fmt()) or given:
*  xticks(positions) with xlabels("lab" ...) draws those labels there (categories), and
*  x2ticks()/x2labels() a second row below them (outer groups); xnticks(#) asks the nice
*  scale for about # ticks (5 by default); scheme(name) draws in that scheme's colours,
*  font and text sizes instead of the current one's.
program _gchart
	version 9.2
	gettoken sub 0 : 0, parse(" ,")
	if "`sub'" == "rgb" {
		gettoken col 0 : 0
		gettoken k 0 : 0
		gettoken sch : 0
		if `"`col'"' == "" {
			_gch_scheme `sch'
			local n = r(nseries)
			c_local rgb `r(color`=mod(`k' - 1, `n') + 1')'
			exit
		}
		_gch_rgb `"`col'"'
		c_local rgb `rgb'
		exit
	}
	if "`sub'" == "fmt" {
		* tick labels: a date or time format is kept, numbers are shown shortest
		local f : format `0'
		c_local fmt = cond(strpos("`f'", "t"), "`f'", "%9.0g")
		exit
	}
	if "`sub'" == "end" {
		syntax [, SAVing(string) AXes(numlist min=4 max=4) AXISColor(string)]
		gdi xalpha = 0
		gdi xbeta = 1
		gdi yalpha = 0
		gdi ybeta = 1
		if "`axes'" != "" {
			tokenize `axes'
			gdi linedash =
			gdi linergb = `=cond("`axiscolor'" == "", "0 0 0", "`axiscolor'")'
			gdi gm_linewidth = 1
			gdi line `1' `2' `3' `2'
			gdi line `1' `2' `1' `4'
		}
		gdi end
		if `"`saving'"' != "" {
			gettoken sfile sopts : saving, parse(",")
			_gph save `sfile' `sopts'
		}
		exit
	}
	if "`sub'" != "begin" {
		di as err "_gchart: subcommand `sub' not recognized"
		exit 199
	}
	syntax , [XRange(numlist min=2 max=2) YRange(numlist min=2 max=2) XFmt(string) YFmt(string) /*
		*/ XTicks(numlist) XLabels(string asis) YTicks(numlist) YLabels(string asis) /*
		*/ X2ticks(numlist) X2labels(string asis) Y2ticks(numlist) Y2labels(string asis) /*
		*/ XGrid YGrid NOAXes TItle(string) SUBtitle(string) XTItle(string) YTItle(string) /*
		*/ NOTE(string) LEGLabels(string asis) LEGColors(string asis) LEGKind(string) /*
		*/ XNticks(integer 5) YNticks(integer 5) EMPTY NAME(string) SCHeme(string)]
	* the look: colours, font and text sizes of the scheme
	_gch_scheme `scheme'
	foreach v in background plotregion foreground textcolor grid font {
		local sc_`v' `"`r(`v')'"'
	}
	foreach v in title subtitle axistitle ticklabel legend note {
		local sz_`v' = r(size_`v')
	}
	* device units a point
	local U = 21333 / 288
	if "`xfmt'" == "" {
		local xfmt %9.0g
	}
	if "`yfmt'" == "" {
		local yfmt %9.0g
	}

	* Each axis: its range, its ticks and their labels.
	foreach a in x y {
		local `a'cat = "``a'ticks'" != ""
		if "``a'range'" == "" {
			local `a'range 0 1
		}
		local lo : word 1 of ``a'range'
		local hi : word 2 of ``a'range'
		if ``a'cat' {
			local `a'lo = `lo'
			local `a'hi = `hi'
			local `a'n : word count ``a'ticks'
			forvalues k = 1/``a'n' {
				local `a't`k' : word `k' of ``a'ticks'
				local lab : word `k' of ``a'labels'
				local `a'lab`k' `"`lab'"'
			}
		}
		else {
			_natscale `lo' `hi' ``a'nticks'
			local `a'lo = r(min)
			local `a'hi = r(max)
			local d = r(delta)
			local `a'n = r(nticks)
			forvalues k = 1/``a'n' {
				local t = ``a'lo' + (`k' - 1) * `d'
				* a tick that rounding left a hair off zero is zero
				if abs(`t') < 1e-9 * `d' {
					local t 0
				}
				local `a't`k' = `t'
				local lab : display ``a'fmt' `t'
				local `a'lab`k' = trim(`"`lab'"')
			}
		}
		local `a'2n : word count ``a'2ticks'
		forvalues k = 1/``a'2n' {
			local `a'2t`k' : word `k' of ``a'2ticks'
			local lab : word `k' of ``a'2labels'
			local `a'2lab`k' `"`lab'"'
		}
		* the labels' widths in device units, measured in the scheme's font
		foreach r in `a' `a'2 {
			local list
			forvalues k = 1/``r'n' {
				local list `"`list' `"``r'lab`k''"'"'
			}
			quietly _gscheme measure `sz_ticklabel' `list', scheme(`scheme')
			local `r'w = r(width) * `U'
			forvalues k = 1/``r'n' {
				local `r'w`k' = r(width`k') * `U'
			}
		}
	}

	* The legend: keys packed into rows across the page.
	local W 32000
	local H 21333
	local nleg : word count `leglabels'
	local legrows 0
	if `nleg' {
		quietly _gscheme measure `sz_legend' `leglabels', scheme(`scheme')
		forvalues k = 1/`nleg' {
			local legw`k' = r(width`k') * `U'
		}
		* a label wider than a row holding its key alone is cut to that width
		local legmax = `W' - 2000 - 2200
		local legrows 1
		local used 0
		forvalues k = 1/`nleg' {
			local lab : word `k' of `leglabels'
			_gch_cut `"`lab'"' `legw`k'' `legmax' `sz_legend' `"`scheme'"'
			local leglab`k' `"`cut'"'
			local wid = 1400 + min(`legw`k'', `legmax') + 800
			if `used' > 0 & `used' + `wid' > `W' - 2000 {
				local legrows = `legrows' + 1
				local used 0
			}
			local lrow`k' `legrows'
			local lx`k' = 1000 + `used'
			local used = `used' + `wid'
		}
	}

	* Margins in device units (a 6 by 4 inch page is 32000 by 21333): the left one is as
	* wide as the widest y label, at most a third of the page (wider labels are cut).
	local yw = max(`yw', 300)
	local ywmax = `W' / 3
	if `yw' + `y2w' > `ywmax' {
		local y2w = min(`y2w', `ywmax' / 2)
		local yw = `ywmax' - `y2w'
	}
	local hasyt = `"`ytitle'"' != ""
	local hasxt = `"`xtitle'"' != ""
	local hasnote = `"`note'"' != ""
	if "`noaxes'" != "" {
		local px0 1000
	}
	else {
		local px0 = 1000 + `yw' + (`y2w' + 500) * (`y2n' > 0) + 2 * `sz_axistitle' * `U' * `hasyt'
	}
	local px1 = `W' - 900
	* bands for the texts, each a little taller than its text
	local bt = 1.25 * `sz_title' * `U' * (`"`title'"' != "")
	local bs = 1.35 * `sz_subtitle' * `U' * (`"`subtitle'"' != "")
	local bn = 1.5 * `sz_note' * `U' * `hasnote'
	local bl = 1.5 * `sz_legend' * `U'
	local bx = 1.5 * `sz_ticklabel' * `U'
	local py1 = round(`H' - 1300 - `bt' - `bs')
	local legtop = round(700 + `bn' + `bl' * (`legrows' - 1))
	local py0 = 1000 + `bn' + `bl' * `legrows'
	if "`noaxes'" == "" {
		local py0 = `py0' + 700 + 1.65 * `sz_axistitle' * `U' * `hasxt' + `bx' * (`x2n' > 0)
	}
	local py0 = round(`py0')
	local px0 = round(`px0')
	local xb = (`px1' - `px0') / (`xhi' - `xlo')
	local yb = (`py1' - `py0') / (`yhi' - `ylo')

	if "`name'" != "" {
		_gph name `name'
	}
	gdi init 6 4 `sc_background'
	gdi textrgb = `sc_textcolor'
	gdi textfont = `sc_font'
	gdi textsize = `sz_axistitle'
	gdi linedash =
	gdi gm_linewidth = 1
	if "`noaxes'" == "" {
		* plot region, grid and frame
		gdi linergb = `=cond(`"`sc_grid'"' == "", "`sc_plotregion'", "`sc_grid'")'
		gdi shadergb = `sc_plotregion'
		gdi shadepattern = pattern1
		gdi rectangle `px0' `py0' `px1' `py1'
		if `"`sc_grid'"' == "" {
			local xgrid
			local ygrid
		}
		if "`ygrid'" != "" {
			forvalues k = 1/`yn' {
				local dy = round(`py0' + (`yt`k'' - `ylo') * `yb')
				gdi line `px0' `dy' `px1' `dy'
			}
		}
		if "`xgrid'" != "" {
			forvalues k = 1/`xn' {
				local dx = round(`px0' + (`xt`k'' - `xlo') * `xb')
				gdi line `dx' `py0' `dx' `py1'
			}
		}
		gdi linergb = `sc_foreground'
		gdi line `px0' `py0' `px1' `py0'
		gdi line `px0' `py0' `px0' `py1'
		* ticks and their labels: when more than 8 categories' labels do not fit
		* their slots, only every step-th is written; a label still too wide is cut
		gdi textsize = `sz_ticklabel'
		gdi texthalign = center
		gdi textvalign = top
		local slot = cond(`xcat', `xb', (`px1' - `px0') / max(`xn', 1))
		local step 1
		if `xcat' & `xn' > 8 & `xw' + 300 > `slot' {
			local step = ceil((`xw' + 300) / `slot')
		}
		local maxw = 0.95 * `step' * `slot'
		forvalues k = 1/`xn' {
			local dx = round(`px0' + (`xt`k'' - `xlo') * `xb')
			if !`xcat' {
				gdi line `dx' `py0' `dx' `=`py0' - 300'
			}
			if mod(`k' - 1, `step') == 0 {
				_gch_cut `"`xlab`k''"' `xw`k'' `maxw' `sz_ticklabel' `"`scheme'"'
				gdi text `dx' `=`py0' - 450' `cut'
			}
		}
		* the outer groups' labels share the width between them
		local maxw = 0.95 * (`px1' - `px0') / max(`x2n', 1)
		forvalues k = 1/`x2n' {
			local dx = round(`px0' + (`x2t`k'' - `xlo') * `xb')
			_gch_cut `"`x2lab`k''"' `x2w`k'' `maxw' `sz_ticklabel' `"`scheme'"'
			gdi text `dx' `=round(`py0' - 450 - `bx')' `cut'
		}
		gdi texthalign = right
		gdi textvalign = middle
		local step 1
		if `ycat' & `yn' > 8 & `yb' < 1.3 * `bx' {
			local step = ceil(1.3 * `bx' / `yb')
		}
		forvalues k = 1/`yn' {
			local dy = round(`py0' + (`yt`k'' - `ylo') * `yb')
			if !`ycat' {
				gdi line `px0' `dy' `=`px0' - 300' `dy'
			}
			if mod(`k' - 1, `step') == 0 {
				_gch_cut `"`ylab`k''"' `yw`k'' `yw' `sz_ticklabel' `"`scheme'"'
				gdi text `=`px0' - 450' `dy' `cut'
			}
		}
		local y2x = round(`px0' - 450 - `yw' - 500)
		forvalues k = 1/`y2n' {
			local dy = round(`py0' + (`y2t`k'' - `ylo') * `yb')
			_gch_cut `"`y2lab`k''"' `y2w`k'' `y2w' `sz_ticklabel' `"`scheme'"'
			gdi text `y2x' `dy' `cut'
		}
	}
	* titles
	gdi texthalign = center
	gdi textvalign = baseline
	local cx = round((`px0' + `px1') / 2)
	if `"`title'"' != "" {
		gdi textsize = `sz_title'
		gdi text `cx' `=round(`H' - 600 - `sz_title' * `U')' `title'
	}
	if `"`subtitle'"' != "" {
		gdi textsize = `sz_subtitle'
		gdi text `cx' `=round(`H' - 600 - `sz_subtitle' * `U' - `bt')' `subtitle'
	}
	gdi textsize = `sz_axistitle'
	if `hasxt' & "`noaxes'" == "" {
		gdi text `cx' `=round(`py0' - 450 - 1.2 * `sz_ticklabel' * `U' - `sz_axistitle' * `U' - `bx' * (`x2n' > 0))' `xtitle'
	}
	if `hasyt' & "`noaxes'" == "" {
		gdi textangle = 90
		gdi textvalign = top
		gdi text 500 `=round((`py0' + `py1') / 2)' `ytitle'
		gdi textangle = 0
		gdi textvalign = baseline
	}
	if `hasnote' {
		gdi textsize = `sz_note'
		gdi texthalign = left
		gdi text 500 400 `note'
	}
	if "`empty'" != "" {
		gdi textsize = `sz_axistitle'
		gdi texthalign = center
		gdi textvalign = middle
		gdi text `cx' `=round((`py0' + `py1') / 2)' (no observations)
	}
	* legend keys: filled squares, or markers for dots
	if `nleg' {
		gdi textsize = `sz_legend'
		gdi texthalign = left
		gdi textvalign = middle
		forvalues k = 1/`nleg' {
			local col : word `k' of `legcolors'
			local ky = round(`legtop' - `bl' * (`lrow`k'' - 1))
			gdi linergb = `col'
			if "`legkind'" == "dot" {
				gdi symbol = circle
				gdi gm_symbolsize = 340
				gdi point `=`lx`k'' + 700' `ky'
			}
			else {
				gdi shadepattern = pattern1
				gdi shadergb = `col'
				gdi rectangle `=`lx`k'' + 400' `=`ky' - 250' `=`lx`k'' + 900' `=`ky' + 250'
			}
			gdi text `=round(`lx`k'' + 1300)' `ky' `leglab`k''
		}
	}
	gdi textsize = `sz_ticklabel'
	gdi linergb = `sc_foreground'

	* the data are drawn in data units
	if "`noaxes'" == "" {
		gdi xalpha = `=`px0' - `xlo' * `xb''
		gdi xbeta = `xb'
		gdi yalpha = `=`py0' - `ylo' * `yb''
		gdi ybeta = `yb'
	}
	foreach v in px0 px1 py0 py1 xlo xhi ylo yhi xb yb {
		c_local gc_`v' ``v''
	}
	* for the data: the plot region's colour (bar outlines) and the axes' colour
	c_local gc_pr `sc_plotregion'
	c_local gc_fg `sc_foreground'
	c_local gc_tc `sc_textcolor'
	c_local gc_sz = `sz_ticklabel'
end

* _gch_scheme [name]: the look of the scheme (the current one without a name) in r(),
* as _gscheme posts it.
program _gch_scheme, rclass
	args name
	quietly _gscheme, scheme(`name')
	return add
end

* _gch_cut "text" width maxwidth size "scheme": the text, cut short at its end when
* its width (device units) is over maxwidth, into the caller's local cut; the cut
* keeps whole characters (_gscheme cut).
program _gch_cut
	args text w maxw size scheme
	if `w' <= `maxw' {
		c_local cut `"`text'"'
		exit
	}
	local U = 21333 / 288
	quietly _gscheme cut `size' `=`maxw' / `U'' `"`text'"', scheme(`scheme')
	c_local cut `"`r(text)'"'
end

* _gch_rgb "colour": a colour name or "r g b" as r g b in the caller's local rgb.
program _gch_rgb
	args col
	local n : word count `col'
	if `n' == 3 {
		foreach c of local col {
			if real("`c'") >= . | real("`c'") < 0 | real("`c'") > 255 {
				di as err `"colour `col' invalid: three numbers from 0 to 255 are needed"'
				exit 198
			}
		}
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
