* Written by gen_tobit.R: reference values from survival::survreg. Do not edit.
program define ref_tobit
	chk _b[_cons] 1.2397551123717403 1e-6
	chk _se[_cons] 0.1002904675747547 1e-6
	chk _b[x1] 0.89147873060619376 1e-6
	chk _se[x1] 0.083995784043093963 1e-6
	chk _b[x2] -1.0289943323470991 1e-6
	chk _se[x2] 0.15334536282716821 1e-6
	chk _b[sigma:_cons] 1.202266022329018 1e-6
	chk _se[sigma:_cons] 0.068770146472966545 1e-6
	chk e(ll) -381.35626112335456 1e-8
	chk e(ll_0) -453.0737482582179 1e-8
end
program define ref_cnreg
	chk _b[_cons] 1.2688000259357066 1e-6
	chk _se[_cons] 0.10860843592170576 1e-6
	chk _b[x1] 0.96527054930599065 1e-6
	chk _se[x1] 0.091608981581723037 1e-6
	chk _b[x2] -1.1100314978246917 1e-6
	chk _se[x2] 0.16105865898806471 1e-6
	chk _b[sigma:_cons] 1.2496443372069022 1e-6
	chk _se[sigma:_cons] 0.076162950249101899 1e-6
	chk e(ll) -373.1539179218949 1e-8
	chk e(ll_0) -446.87724307142196 1e-8
end
program define ref_tobit_cl
	chk _se[_cons] 0.085635412009492165 1e-6
	chk _se[x1] 0.10809287306900486 1e-6
	chk _se[x2] 0.13599744384925877 1e-6
end
