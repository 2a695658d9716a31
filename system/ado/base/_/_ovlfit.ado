*! _ovlfit: the fitted-line series of overlay, computed from the data of one
*  plot and group: least-squares lines (with the confidence limits of the mean),
*  lowess and kernel-density smooths, and curves of a function of x.
*  _ovlfit fit|kdens|fn ...   (each subcommand below states its arguments)
program _ovlfit
	gettoken sub 0 : 0

	* _ovlfit fit type y x if, f() lo() hi() level() bwidth(): the fitted values of
	* the sample into f (and the confidence limits of the mean into lo and hi),
	* the caller's estimation results kept.
	if "`sub'" == "fit" {
		syntax anything [if] [in], f(string) [lo(string) hi(string) level(real 95) bwidth(real 0.8)]
		gettoken type anything : anything
		gettoken y x : anything
		local x = trim("`x'")
		quietly count `if' & `y' < . & `x' < . `in'
		if "`type'" == "lowessline" {
			if r(N) > 0 {
				_LOWESS `y' `x' `if' `in', generate(`f') bwidth(`bwidth')
			}
			exit
		}
		local n = r(N)
		tempname hold
		tempvar p s x2
		local rhs `x'
		if "`type'" == "quadfit" {
			quietly gen double `x2' = `x'^2 `if' `in'
			local rhs `x' `x2'
		}
		if `n' < 2 + ("`type'" == "quadfit") {
			exit
		}
		_estimates hold `hold', nullok
		capture quietly {
			regress `y' `rhs' `if' `in'
			predict double `p' `if' `in', xb
			replace `f' = `p' `if' `in'
			if "`type'" == "linfitci" {
				predict double `s' `if' `in', stdp
				local t = invttail(e(df_r), (100 - `level') / 200)
				replace `lo' = `p' - `t' * `s' `if' `in'
				replace `hi' = `p' + `t' * `s' `if' `in'
			}
		}
		local rc = _rc
		_estimates unhold `hold'
		if `rc' == 1 {
			exit 1
		}
		exit
	}

	* _ovlfit kdens x if, x() d() n() bwidth() kernel(): the kernel density of the
	* sample on n points into the first n observations of x and d.
	if "`sub'" == "kdens" {
		syntax varname [if] [in], x(string) d(string) n(integer) bwidth(real) kernel(string)
		quietly summarize `varlist' `if' `in', detail
		if r(N) < 2 {
			exit
		}
		local h `bwidth'
		if `h' == 0 {
			local iqr = (r(p75) - r(p25)) / 1.349
			local sd = r(sd)
			local s = cond(`iqr' > 0, min(`sd', `iqr'), `sd')
			local h = 0.9 * `s' * r(N)^(-0.2)
			if !(`h' > 0) {
				exit
			}
		}
		_KDE `varlist' `if' `in', dvar(`d') xvar(`x') n(`n') bwidth(`h') kernel(`kernel')
		exit
	}

	* _ovlfit fn a b n "exp" "xlog": the curve y = exp(x) on n points from a to b
	* (evenly spaced, or evenly in ln x on a log scale) as a new series set
	* whose number goes into the caller's local set; the data are untouched.
	if "`sub'" == "fn" {
		args sub a b n fexp xlog
		preserve
		quietly drop _all
		quietly set obs `n'
		if "`xlog'" != "" {
			quietly gen double x = exp(ln(`a') + (_n - 1) * (ln(`b') - ln(`a')) / (`n' - 1))
		}
		else {
			quietly gen double x = `a' + (_n - 1) * (`b' - `a') / (`n' - 1)
		}
		capture noisily quietly gen double y = `fexp'
		if _rc {
			local rc = _rc
			di as err `"function: `fexp' is not an expression in x"'
			exit `rc'
		}
		quietly serset create y x
		c_local set = r(id)
		exit
	}
	di as err "_ovlfit: subcommand `sub' not recognized"
	exit 199
end
