* Written by gen_resample.R: jackknife reference values computed directly. Do not edit.
program define ref_jk_rho
	chk el(e(b),1,1) 0.34635925870544754 1e-8
	chk el(e(se),1,1) 0.24512398980932512 1e-6
	chk el(e(bias),1,1) -0.02488275904838877 1e-6
end
program define ref_jk_rhocl
	chk el(e(b),1,1) 0.34635925870544754 1e-8
	chk el(e(se),1,1) 0.22174918848206238 1e-6
	chk el(e(bias),1,1) -0.010918628476229542 1e-6
end
program define ref_jk_b
	chk el(e(b),1,1) 0.69604071971697079 1e-8
	chk el(e(se),1,1) 0.50166995505033407 1e-6
	chk el(e(bias),1,1) -0.036473264445905151 1e-6
	chk el(e(b),1,2) 0.65824802024203977 1e-8
	chk el(e(se),1,2) 0.38227000115737569 1e-6
	chk el(e(bias),1,2) -0.032260693651219086 1e-6
end
