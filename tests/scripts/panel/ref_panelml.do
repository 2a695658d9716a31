* Written by gen_panelml.py: reference values from an independent normal
* likelihood maximised with scipy. Do not edit.
program define ref_ml_bal
	chk _b[x1] 0.7820457441435017 1e-6
	chk _b[x2] -1.135251387804204 1e-6
	chk _b[z] 0.6240540855532658 1e-6
	chk _b[_cons] 0.7660953662925902 1e-6
	chk _se[x1] 0.06512810719436572 1e-6
	chk _se[x2] 0.07006453972857969 1e-6
	chk _se[z] 0.12274671263614864 1e-6
	chk _se[_cons] 0.16844086543125053 1e-6
	chk e(ll) -426.53786063217285 1e-6
	chk e(ll_c) -450.86413951127145 1e-6
	chk e(chi2_c) 48.65255775819719 1e-6
	chk e(sigma_u) 0.738263551179684 1e-6
	chk e(sigma_e) 0.9911746364773456 1e-6
	chk e(rho) 0.35682308445103444 1e-6
	chk e(se_lnsu) 0.14702964685151554 1e-6
	chk e(se_lnse) 0.04595078300215712 1e-6
end
program define ref_ml_rob_bal
	chk _se[x1] 0.06090750203100349 1e-6
	chk _se[x2] 0.08307007859660102 1e-6
	chk _se[z] 0.12956677706039424 1e-6
	chk _se[_cons] 0.18772266790549252 1e-6
end
program define ref_ml_unb
	chk _b[x1] 0.7987963913012698 1e-6
	chk _b[x2] -1.0560297376976362 1e-6
	chk _b[z] 0.6232790127771294 1e-6
	chk _b[_cons] 0.6308938675216895 1e-6
	chk _se[x1] 0.07707344603909372 1e-6
	chk _se[x2] 0.08287723179065995 1e-6
	chk _se[z] 0.12532677188877675 1e-6
	chk _se[_cons] 0.1859948119427397 1e-6
	chk e(ll) -291.40459647926065 1e-6
	chk e(ll_c) -307.1144456065882 1e-6
	chk e(chi2_c) 31.419698254655145 1e-6
	chk e(sigma_u) 0.72538263980541 1e-6
	chk e(sigma_e) 0.9570264992274927 1e-6
	chk e(rho) 0.36487579444527246 1e-6
	chk e(se_lnsu) 0.16046913352364106 1e-6
	chk e(se_lnse) 0.0574321691440758 1e-6
end
program define ref_ml_rob_unb
	chk _se[x1] 0.06535990646784617 1e-6
	chk _se[x2] 0.09258396313084513 1e-6
	chk _se[z] 0.15294304315588853 1e-6
	chk _se[_cons] 0.2051258319267991 1e-6
end
