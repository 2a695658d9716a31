* Written by gen_ml.py: reference values from statsmodels. Do not edit.
program define ref_mlprobit
	chk [y]_b[x1] 0.40943797923185388 1e-6
	chk [y]_se[x1] 0.086779853594612821 1e-6
	chk [y]_b[x2] -0.52230764409098929 1e-6
	chk [y]_se[x2] 0.1529909915480499 1e-6
	chk [y]_b[x3] 0.13956024262414557 1e-6
	chk [y]_se[x3] 0.043156173460635598 1e-6
	chk [y]_b[_cons] -0.021357632105456832 1e-6
	chk [y]_se[_cons] 0.14859162428009509 1e-6
	chk e(ll) -184.11175463317986 1e-8
end
program define ref_mlprobit_fw
	chk [y]_b[x1] 0.39845875689080795 1e-6
	chk [y]_se[x1] 0.060465614044876367 1e-6
	chk [y]_b[x2] -0.56346102996165537 1e-6
	chk [y]_se[x2] 0.10983896616794923 1e-6
	chk [y]_b[x3] 0.15500353219929899 1e-6
	chk [y]_se[x3] 0.030689299844058004 1e-6
	chk [y]_b[_cons] -0.023157080913748879 1e-6
	chk [y]_se[_cons] 0.10552449882179188 1e-6
	chk e(ll) -358.35297057114542 1e-8
	chk e(N) 591 0
end
program define ref_mlreg
	chk [xb]_b[x1] -0.036656368286031027 1e-6
	chk [xb]_se[x1] 0.10703285436918757 1e-6
	chk [xb]_b[x2] -0.070119057139971741 1e-6
	chk [xb]_se[x2] 0.20487111292118151 1e-6
	chk [xb]_b[_cons] 2.6065535231341506 1e-6
	chk [xb]_se[_cons] 0.13711740782433257 1e-6
	chk [lnsigma]_b[_cons] 0.565999915792469 1e-6
	chk [lnsigma]_se[_cons] 0.040824829046386304 1e-6
	chk e(ll) -595.48153469914246 1e-8
end
