* Written by gen_clogit.R: reference values from survival::clogit (exact). Do not edit.
program define ref_clogit
	chk _b[x1] 1.1208163468855943 1e-6
	chk _se[x1] 0.20021597919486095 1e-6
	chk _b[x2] -0.91139809936915894 1e-6
	chk _se[x2] 0.32133382474653138 1e-6
	chk e(ll) -82.914419933657925 1e-8
	chk e(ll_0) -109.25455137675152 1e-8
	chk e(N) 263 0
end
