* Written by gen_qreg.R: reference values from quantreg::rq and MASS::rlm. Do not edit.
program define ref_qreg_05
	chk _b[x1] 0.82905495464179324 1e-6
	chk _se[x1] 0.080787784647643329 1e-6
	chk _b[x2] -0.31656075184365307 1e-6
	chk _se[x2] 0.066705273885620794 1e-6
	chk _b[_cons] 0.8091779734044483 1e-6
	chk _se[_cons] 0.15576166776882022 1e-6
	chk e(sum_adev) 105.94491071620847 1e-8
end
program define ref_qreg_025
	chk _b[x1] 0.86038496967304956 1e-6
	chk _se[x1] 0.065225232724989757 1e-6
	chk _b[x2] -0.46602404822122173 1e-6
	chk _se[x2] 0.053855505905380935 1e-6
	chk _b[_cons] 0.59219824805653909 1e-6
	chk _se[_cons] 0.12575652463011563 1e-6
	chk e(sum_adev) 68.033678389286749 1e-8
end
program define ref_qreg_09
	chk _b[x1] 0.99536181311256433 1e-6
	chk _se[x1] 0.25664379228500533 1e-6
	chk _b[x2] -0.20447196924417552 1e-6
	chk _se[x2] 0.211906967496169 1e-6
	chk _b[_cons] 2.7995618696984996 1e-6
	chk _se[_cons] 0.49481818672438665 1e-6
	chk e(sum_adev) 87.684285831278217 1e-8
end
program define ref_huber
	chk _b[x1] 0.80447831126637115 1e-6
	chk _se[x1] 0.065101435310539163 1e-6
	chk _b[x2] -0.36383797940808082 1e-6
	chk _se[x2] 0.053753288218966175 1e-6
	chk _b[_cons] 0.98513592050978016 1e-6
	chk _se[_cons] 0.12551783889533047 1e-6
	chk e(scale) 0.85779644452040682 1e-6
end
