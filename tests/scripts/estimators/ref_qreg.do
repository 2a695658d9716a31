* Written by gen_qreg.R: reference values from quantreg::rq and MASS::rlm. Do not edit.
program define ref_qreg_05
	chk _b[x1] 0.73008628783305352 1e-6
	chk _se[x1] 0.078975268407988616 1e-6
	chk _b[x2] -0.24507858458245277 1e-6
	chk _se[x2] 0.069145226179325642 1e-6
	chk _b[_cons] 0.61978511630248001 1e-6
	chk _se[_cons] 0.16001534907439011 1e-6
	chk e(sum_adev) 100.63239364523335 1e-8
end
program define ref_qreg_025
	chk _b[x1] 0.81624312960045553 1e-6
	chk _se[x1] 0.060913192756874103 1e-6
	chk _b[x2] -0.40582267701382363 1e-6
	chk _se[x2] 0.053331334927794641 1e-6
	chk _b[_cons] 0.52297312439077337 1e-6
	chk _se[_cons] 0.12341896392011342 1e-6
	chk e(sum_adev) 63.681489705528463 1e-8
end
program define ref_qreg_09
	chk _b[x1] 0.68356047250020069 1e-6
	chk _se[x1] 0.19301372780135886 1e-6
	chk _b[x2] -0.011752258708234745 1e-6
	chk _se[x2] 0.16898933214881939 1e-6
	chk _b[_cons] 1.9497158780691932 1e-6
	chk _se[_cons] 0.39107380896422017 1e-6
	chk e(sum_adev) 76.893461901696966 1e-8
end
program define ref_huber
	chk _b[x1] 0.76323969658683677 1e-6
	chk _se[x1] 0.066682049212574909 1e-6
	chk _b[x2] -0.280964059643458 1e-6
	chk _se[x2] 0.058382142509287423 1e-6
	chk _b[_cons] 0.89397625492801946 1e-6
	chk _se[_cons] 0.13510750386593828 1e-6
	chk e(scale) 0.94533572768234697 1e-6
end
