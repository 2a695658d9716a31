* Written by gen_ml.py: reference values from statsmodels. Do not edit.
program define ref_mlprobit
	chk [y]_b[x1] 0.55847326236419603 1e-6
	chk [y]_se[x1] 0.091072417337740325 1e-6
	chk [y]_b[x2] -0.23819834445612884 1e-6
	chk [y]_se[x2] 0.1541387334382103 1e-6
	chk [y]_b[x3] 0.1634195253678325 1e-6
	chk [y]_se[x3] 0.04512782855018687 1e-6
	chk [y]_b[_cons] -0.24530448967233046 1e-6
	chk [y]_se[_cons] 0.1501892689982095 1e-6
	chk e(ll) -181.16097893919317 1e-8
end
program define ref_mlprobit_fw
	chk [y]_b[x1] 0.56593939945046223 1e-6
	chk [y]_se[x1] 0.062620407386833277 1e-6
	chk [y]_b[x2] -0.2830907614696041 1e-6
	chk [y]_se[x2] 0.10905135817248844 1e-6
	chk [y]_b[x3] 0.16374495788846985 1e-6
	chk [y]_se[x3] 0.031696833625077601 1e-6
	chk [y]_b[_cons] -0.2692642030257697 1e-6
	chk [y]_se[_cons] 0.10584034657425057 1e-6
	chk e(ll) -365.90002330889445 1e-8
	chk e(N) 612 0
end
program define ref_mlreg
	chk [xb]_b[x1] -0.10670064910579384 1e-6
	chk [xb]_se[x1] 0.11088411444347843 1e-6
	chk [xb]_b[x2] 0.059206193124741624 1e-6
	chk [xb]_se[x2] 0.20245386715222446 1e-6
	chk [xb]_b[_cons] 2.4626320510422302 1e-6
	chk [xb]_se[_cons] 0.1351054173202185 1e-6
	chk [lnsigma]_b[_cons] 0.55361171497863249 1e-6
	chk [lnsigma]_se[_cons] 0.040824829046386304 1e-6
	chk e(ll) -591.76507445499158 1e-8
end
