* Written by gen_tobit.R: reference values from survival::survreg. Do not edit.
program define ref_tobit
	chk _b[_cons] 1.1570411461099457 1e-6
	chk _se[_cons] 0.10886234958481079 1e-6
	chk _b[x1] 0.78778048495358743 1e-6
	chk _se[x1] 0.084834486101299386 1e-6
	chk _b[x2] -0.90321732647402864 1e-6
	chk _se[x2] 0.15700881935151734 1e-6
	chk _b[sigma:_cons] 1.2484009401765424 1e-6
	chk _se[sigma:_cons] 0.071786576164778904 1e-6
	chk e(ll) -389.86561441938824 1e-8
	chk e(ll_0) -447.86990338132051 1e-8
end
program define ref_cnreg
	chk _b[_cons] 1.0781530675603972 1e-6
	chk _se[_cons] 0.11195829679014496 1e-6
	chk _b[x1] 0.76200357046475897 1e-6
	chk _se[x1] 0.085205437556917604 1e-6
	chk _b[x2] -0.75629482370052215 1e-6
	chk _se[x2] 0.15479596895459743 1e-6
	chk _b[sigma:_cons] 1.2334986120671443 1e-6
	chk _se[sigma:_cons] 0.07302342420712174 1e-6
	chk e(ll) -386.50405220867106 1e-8
	chk e(ll_0) -438.65458840588587 1e-8
end
program define ref_tobit_cl
	chk _se[_cons] 0.084928973375369338 1e-6
	chk _se[x1] 0.055867184335633029 1e-6
	chk _se[x2] 0.13947730419048482 1e-6
end
