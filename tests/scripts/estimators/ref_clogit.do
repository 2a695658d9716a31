* Written by gen_clogit.R: reference values from survival::clogit (exact). Do not edit.
program define ref_clogit
	chk _b[x1] 1.1831446119043441 1e-6
	chk _se[x1] 0.22593079090248688 1e-6
	chk _b[x2] -1.143081821958188 1e-6
	chk _se[x2] 0.35783465266720382 1e-6
	chk e(ll) -75.362970880777709 1e-8
	chk e(ll_0) -100.22320672459972 1e-8
	chk e(N) 248 0
end
