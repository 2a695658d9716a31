*! _glayout: where the parts of a graph go (titles, note, legend keys, tick
*  labels and the plot region), from its texts measured in the scheme's font,
*  so that no two texts overlap and none reaches outside the page. Long x tick
*  labels are turned 45 degrees when that makes them fit, else only every
*  second (third, ...) one is shown; y tick labels thin out the same way.
*  _glayout [, title() subtitle() xtitle() ytitle() note() xlabels(list)
*            ylabels(list) legend(list) keywidth(#) keyheight(#) scheme(name)
*            region(x0 y0 x1 y1)]
*  Lists are quoted texts; sizes and places come back in r() in device units
*  of a 6 by 4 inch page (32000 by 21333), text sizes in points.
program _glayout, rclass
	version 9.2
	syntax [, TItle(string) SUBtitle(string) XTItle(string) YTItle(string) NOTE(string) /*
		*/ XLABels(string asis) YLABels(string asis) LEGend(string asis) KEYWidth(real 1700) /*
		*/ KEYHeight(real 340) SCHeme(string) REGion(numlist min=4 max=4)]
	quietly _gscheme, scheme(`scheme')
	foreach v in title subtitle axistitle ticklabel legend note {
		local sz_`v' = r(size_`v')
	}
	foreach v in left right top bottom {
		local m_`v' = r(margin_`v')
	}
	if "`region'" == "" {
		local region 0 0 32000 21333
	}
	tokenize `region'
	* device units a point, gaps between parts, tick length
	local U = 21333 / 288
	local gap = 3 * `U'
	local tick = 4 * `U'
	local ml = `1' + `m_left' * `U'
	local mr = `3' - `m_right' * `U'
	local mb = `2' + `m_bottom' * `U'
	local mt = `4' - `m_top' * `U'
	local avail = `mr' - `ml'

	* from the top: title and subtitle, centred, shrunk to fit the width
	local ytop = `mt'
	foreach t in title subtitle {
		if `"``t''"' != "" {
			_glayout_fit `"``t''"' `sz_`t'' `avail' `"`scheme'"'
			local `t'_size = `fit_size'
			local `t'_y = `ytop' - `fit_a'
			local ytop = `ytop' - `fit_a' - `fit_d' - `gap'
		}
	}
	local title_x = (`ml' + `mr') / 2

	* from the bottom: the note, the legend's rows, the x title
	local ybot = `mb'
	if `"`note'"' != "" {
		_glayout_fit `"`note'"' `sz_note' `avail' `"`scheme'"'
		local note_size = `fit_size'
		local note_x = `ml'
		local note_y = `ybot' + `fit_d'
		local ybot = `ybot' + `fit_a' + `fit_d' + `gap'
	}
	local nleg 0
	if `"`legend'"' != "" {
		quietly _gscheme measure `sz_legend' `legend', scheme(`scheme')
		local nleg = r(n)
		local rh = max((r(ascent) + r(descent)) * `U', `keyheight')
		local x = `ml'
		local row 1
		forvalues k = 1/`nleg' {
			local w = `keywidth' + r(width`k') * `U'
			if `x' > `ml' & `x' + `w' > `mr' {
				local row = `row' + 1
				local x = `ml'
			}
			local legx`k' = `x'
			local legrow`k' `row'
			local x = `x' + `w' + 2 * `gap'
		}
		forvalues k = 1/`nleg' {
			local legy`k' = `ybot' + (`row' - `legrow`k'') * (`rh' + `gap') + `rh' / 2
		}
		local ybot = `ybot' + `row' * `rh' + (`row' - 1) * `gap' + `gap'
	}
	if `"`xtitle'"' != "" {
		_glayout_fit `"`xtitle'"' `sz_axistitle' `avail' `"`scheme'"'
		local xtitle_size = `fit_size'
		local xtitle_y = `ybot' + `fit_d'
		local ybot = `ybot' + `fit_a' + `fit_d' + `gap'
	}

	* the y title along the left edge, turned 90 degrees (its strip's width
	* now; its size once the plot region, which it is centred on, is known)
	local left = `ml'
	if `"`ytitle'"' != "" {
		_glayout_fit `"`ytitle'"' `sz_axistitle' 1e9 `"`scheme'"'
		local ytitle_x = `ml' + 0.2 * `fit_a'
		local left = `ml' + `fit_a' + `fit_d' + `gap'
	}

	* tick labels: widths, and the height of one line
	quietly _gscheme measure `sz_ticklabel' `ylabels', scheme(`scheme')
	local ylw = r(width) * `U'
	local nyl = r(n)
	local ta = r(ascent) * `U'
	local td = r(descent) * `U'
	local th = `ta' + `td'
	quietly _gscheme measure `sz_ticklabel' `xlabels', scheme(`scheme')
	local nxl = r(n)
	local xlw = r(width) * `U'
	local xw1 = cond(`nxl' > 0, r(width1) * `U', 0)
	local xwn = cond(`nxl' > 0, r(width`nxl') * `U', 0)
	local xoff = max(`tick' + `gap', `th' / 2 + 0.2 * `ta' + `gap')
	local base0 = `left' + `ylw' + `gap' + `tick'
	local px0 = max(`base0', `ml' + `xw1' / 2)
	local px1 = `mr' - `xwn' / 2
	local sp = cond(`nxl' > 1, (`px1' - `px0') / (`nxl' - 1), 1e9)
	local xangle 0
	local xstep 1
	local c45 = sqrt(0.5)
	if `xlw' + `gap' > `sp' {
		local rx0 = max(`base0', `ml' + (`xw1' + 0.6 * `ta') * `c45')
		local rx1 = `mr' - (0.4 * `ta' + `td') * `c45'
		local rsp = cond(`nxl' > 1, (`rx1' - `rx0') / (`nxl' - 1), 1e9)
		if `rsp' * `c45' >= `th' + `gap' & `xlw' * `c45' <= (`ytop' - `ybot') / 3 {
			local xangle 45
			local px0 = `rx0'
			local px1 = `rx1'
		}
		else {
			local xstep = ceil((`xlw' + `gap') / `sp')
		}
	}
	if `xangle' {
		local py0 = `ybot' + `xoff' + (`xlw' + 0.4 * `ta' + `td') * `c45'
	}
	else {
		local py0 = `ybot' + `xoff' + 0.8 * `ta' + `td'
	}
	local py1 = `ytop' - `th' / 2
	local spy = cond(`nyl' > 1, (`py1' - `py0') / (`nyl' - 1), 1e9)
	local ystep = max(1, ceil((`th' + `gap' / 2) / `spy'))
	if `"`ytitle'"' != "" {
		local mid = (`py0' + `py1') / 2
		_glayout_fit `"`ytitle'"' `sz_axistitle' `=2 * min(`mid' - `ybot', `ytop' - `mid')' `"`scheme'"'
		local ytitle_size = `fit_size'
	}

	foreach v in px0 px1 py0 py1 xangle xstep ystep nleg title_x {
		return scalar `v' = ``v''
	}
	* what a caller drawing several panels needs to place their labels
	return scalar th = `th'
	return scalar xlw = `xlw'
	return scalar xw1 = `xw1'
	return scalar xwn = `xwn'
	return scalar xband = `py0' - `ybot'
	return scalar ylw = `ylw'
	return scalar ytop = `ytop'
	return scalar ybot = `ybot'
	return scalar xlab_y = `py0' - `xoff'
	return scalar ylab_x = `px0' - `tick' - `gap'
	return scalar tick = `tick'
	foreach t in title subtitle note xtitle ytitle {
		if "``t'_size'" != "" {
			return scalar `t'_size = ``t'_size'
		}
	}
	foreach v in title_y subtitle_y note_x note_y xtitle_y ytitle_x {
		if "``v''" != "" {
			return scalar `v' = ``v''
		}
	}
	forvalues k = 1/`nleg' {
		return scalar legx`k' = `legx`k''
		return scalar legy`k' = `legy`k''
	}
end

* _glayout_fit "text" size avail "scheme": the size (points) at which the text
* is at most avail device units wide, and its width, ascent and descent in
* device units, into the caller's fit_size, fit_w, fit_a, fit_d.
program _glayout_fit
	args text size avail scheme
	quietly _gscheme measure `size' `"`text'"', scheme(`scheme')
	local U = 21333 / 288
	local f = 1
	if r(width) * `U' > `avail' & `avail' > 0 {
		local f = `avail' / (r(width) * `U') * 0.98
	}
	c_local fit_size = `size' * `f'
	c_local fit_w = r(width) * `U' * `f'
	c_local fit_a = r(ascent) * `U' * `f'
	c_local fit_d = r(descent) * `U' * `f'
end
