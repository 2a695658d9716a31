*! _ovldraw: the pieces overlay draws with: axis ends and ticks, tick labels,
*  marker-label positions, legend keys, and the entries, colours and line
*  patterns of the per-series options.
*  _ovldraw axis|ticklab|labpos|key|entry|rgb|dash ...   (each subcommand below
*  states its arguments; results come back in the caller's locals)
program _ovldraw
	gettoken sub 0 : 0

	* _ovldraw axis lo hi n "log" "range" "ticks": the axis ends and ticks into the
	* caller's locals ax_lo, ax_hi and ax_ticks.
	if "`sub'" == "axis" {
		args sub lo hi n log range ticks
		if `lo' >= . {
			local lo = cond("`log'" != "", 1, 0)
			local hi = cond("`log'" != "", 10, 1)
		}
		if "`range'" != "" {
			gettoken lo hi : range
		}
		foreach t of local ticks {
			if "`range'" == "" {
				local lo = min(`lo', `t')
				local hi = max(`hi', `t')
			}
		}
		local tk
		if "`log'" == "" {
			_natscale `lo' `hi' `n'
			local a = r(min)
			local d = r(delta)
			* given ticks: the axis spans them and the data, no further
			if "`range'" == "" & "`ticks'" == "" {
				local lo = r(min)
				local hi = r(max)
			}
			forvalues k = 1/`r(nticks)' {
				local t = round(`a' + (`k' - 1) * `d', `d' / 1000)
				if `t' >= `lo' - `d' / 1000 & `t' <= `hi' + `d' / 1000 {
					local tk `tk' `t'
				}
			}
		}
		else {
			if `hi' <= `lo' {
				local lo = `lo' / 2
				local hi = `hi' * 2
			}
			local d0 = floor(log10(`lo') + 1e-9)
			local d1 = ceil(log10(`hi') - 1e-9)
			if `d1' - `d0' >= 2 {
				local step = ceil((`d1' - `d0') / 6)
				if "`range'" == "" & "`ticks'" == "" {
					local lo = 10^`d0'
					local hi = 10^`d1'
				}
				forvalues e = `d0'(`step')`d1' {
					local t = 10^`e'
					if `t' >= `lo' * 0.999999 & `t' <= `hi' * 1.000001 {
						local tk `tk' `t'
					}
				}
			}
			else {
				* one or two decades: 1, 2 and 5 times the powers of ten
				local first
				local last
				forvalues e = `=`d0' - 1'/`d1' {
					foreach m in 1 2 5 {
						local t = `m' * 10^`e'
						if `t' <= `lo' * 1.000001 {
							local first `t'
						}
						if `t' >= `hi' * 0.999999 & "`last'" == "" {
							local last `t'
						}
					}
				}
				if "`range'" == "" & "`ticks'" == "" {
					local lo `first'
					local hi `last'
				}
				forvalues e = `=`d0' - 1'/`d1' {
					foreach m in 1 2 5 {
						local t = `m' * 10^`e'
						if `t' >= `lo' * 0.999999 & `t' <= `hi' * 1.000001 {
							local tk `tk' `t'
						}
					}
				}
			}
		}
		if "`ticks'" != "" {
			local tk `ticks'
		}
		if !(`hi' > `lo') {
			local lo = cond("`log'" != "", `lo' / 2, `lo' - 1)
			local hi = cond("`log'" != "", `hi' * 2, `hi' + 1)
		}
		c_local ax_lo `lo'
		c_local ax_hi `hi'
		c_local ax_ticks `tk'
		exit
	}

	* _ovldraw ticklab value format "vlabel": the tick's label into the caller's
	* local ticklab: the value label of a whole number, else the formatted value.
	if "`sub'" == "ticklab" {
		args sub t fmt vl
		local lab : display `fmt' `t'
		if "`vl'" != "" & `t' == round(`t') {
			local l : label `vl' `t'
			if `"`l'"' != "" {
				local lab `"`l'"'
			}
		}
		local lab = trim(`"`lab'"')
		c_local ticklab `"`lab'"'
		exit
	}

	* _ovldraw labpos clock: alignment and device offset of marker labels at a clock
	* position (0 on the marker) into the caller's locals lh, lv, ldx and ldy.
	if "`sub'" == "labpos" {
		args sub p
		local a = (90 - 30 * `p') * _pi / 180
		local dx = cond(`p' == 0, 0, round(300 * cos(`a')))
		local dy = cond(`p' == 0, 0, round(300 * sin(`a')))
		c_local ldx `dx'
		c_local ldy `dy'
		c_local lh = cond(`dx' > 50, "left", cond(`dx' < -50, "right", "center"))
		c_local lv = cond(`dy' > 50, "bottom", cond(`dy' < -50, "top", "middle"))
		exit
	}

	* _ovldraw key s x y "shape" conn "symbol" "marker rgb" "line rgb" width "pattern" size:
	* the legend key of one series at (x, y).
	if "`sub'" == "key" {
		args sub s kx ky shape conn sym mrgb lrgb lw lpat msize
		if "`shape'" != "" & "`shape'" != "rcap" {
			gdi shadergb = `mrgb'
			gdi shadepattern = pattern1
			gdi shadelevel = `=cond("`shape'" == "band", 35, cond("`shape'" == "area", 50, 100))'
			gdi linergb = `lrgb'
			gdi gm_linewidth = `=cond("`shape'" == "bar", 1, 0)'
			gdi linedash =
			gdi rectangle `kx' `=`ky' - 250' `=`kx' + 1400' `=`ky' + 250'
			gdi shadelevel = 100
		}
		if "`shape'" == "rcap" {
			gdi linergb = `lrgb'
			gdi gm_linewidth = `lw'
			_ovldraw dash `lpat'
			gdi line `=`kx' + 700' `=`ky' - 300' `=`kx' + 700' `=`ky' + 300'
			gdi line `=`kx' + 500' `=`ky' - 300' `=`kx' + 900' `=`ky' - 300'
			gdi line `=`kx' + 500' `=`ky' + 300' `=`kx' + 900' `=`ky' + 300'
		}
		if `conn' {
			gdi linergb = `lrgb'
			gdi gm_linewidth = `lw'
			_ovldraw dash `lpat'
			gdi line `kx' `ky' `=`kx' + 1400' `ky'
		}
		if "`sym'" != "none" {
			gdi linergb = `mrgb'
			gdi gm_linewidth = 1
			gdi linedash =
			gdi symbol = `sym'
			gdi gm_symbolsize = `=340 * `msize''
			gdi point `=`kx' + 700' `ky'
		}
		exit
	}

	* _ovldraw entry "list" j default: entry j of the list (the last entry past its end,
	* the default for an empty list) into the caller's local entry.
	if "`sub'" == "entry" {
		args sub list j def
		local n : word count `list'
		if `n' == 0 {
			c_local entry `def'
			exit
		}
		local v : word `=min(`j', `n')' of `list'
		c_local entry `v'
		exit
	}

	* _ovldraw rgb "colour" default: the colour's r g b into the caller's local rgb.
	if "`sub'" == "rgb" {
		args sub col def
		if `"`col'"' == "" {
			local col `def'
		}
		local n : word count `col'
		if `n' == 3 {
			foreach c of local col {
				if !(real("`c'") >= 0 & real("`c'") <= 255) {
					di as err `"colour `col' not recognized; give a name or three numbers from 0 to 255"'
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
		exit
	}

	* _ovldraw dash pattern [, check]: sets the line dash for solid, dash, dot,
	* dash_dot, shortdash, longdash (check: only tells whether the name is known).
	if "`sub'" == "dash" {
		syntax [anything] [, check]
		local pat `anything'
		local pats solid dash dot dash_dot shortdash longdash
		local dashes `""" "400 250" "60 200" "400 200 60 200" "200 200" "800 300""'
		if "`pat'" == "" {
			local pat solid
		}
		local i : list posof "`pat'" in pats
		if `i' == 0 {
			di as err `"line pattern `pat' not recognized"'
			exit 198
		}
		if "`check'" == "" {
			local d : word `i' of `dashes'
			gdi linedash = `d'
		}
		exit
	}
	di as err "_ovldraw: subcommand `sub' not recognized"
	exit 199
end
