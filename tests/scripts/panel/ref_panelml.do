* Written by gen_panelml.py: reference values from an independent normal
* likelihood maximised with scipy. Do not edit.
program define ref_ml_bal
	chk _b[x1] 0.8245064927521681 1e-6
	chk _b[x2] -1.0206227315407335 1e-6
	chk _b[z] 0.5076385000841012 1e-6
	chk _b[_cons] 1.0575678882088226 1e-6
	chk _se[x1] 0.06858766585974366 1e-6
	chk _se[x2] 0.07280443630516022 1e-6
	chk _se[z] 0.1330073744497347 1e-6
	chk _se[_cons] 0.1979787322382893 1e-6
	chk e(ll) -444.5511320541933 1e-6
	chk e(ll_c) -485.2059445821805 1e-6
	chk e(chi2_c) 81.30962505597438 1e-6
	chk e(sigma_u) 0.9613178232449001 1e-6
	chk e(sigma_e) 1.0290644759857572 1e-6
	chk e(rho) 0.46600238160737933 1e-6
	chk e(se_lnsu) 0.1341479859917848 1e-6
	chk e(se_lnse) 0.04586020159186488 1e-6
end
program define ref_ml_rob_bal
	chk _se[x1] 0.05569665202545504 1e-6
	chk _se[x2] 0.07532010491798069 1e-6
	chk _se[z] 0.11625031557498365 1e-6
	chk _se[_cons] 0.18781491541586937 1e-6
end
program define ref_ml_unb
	chk _b[x1] 0.8693903347117573 1e-6
	chk _b[x2] -1.0683638633039234 1e-6
	chk _b[z] 0.4994272148929098 1e-6
	chk _b[_cons] 1.1676139629955735 1e-6
	chk _se[x1] 0.07845540457661719 1e-6
	chk _se[x2] 0.08491456023361967 1e-6
	chk _se[z] 0.12962979749656822 1e-6
	chk _se[_cons] 0.2079404273264423 1e-6
	chk e(ll) -322.94939512015105 1e-6
	chk e(ll_c) -347.93230037799617 1e-6
	chk e(chi2_c) 49.96581051569024 1e-6
	chk e(sigma_u) 0.9053820974098535 1e-6
	chk e(sigma_e) 0.9893542017346976 1e-6
	chk e(rho) 0.4557682540420378 1e-6
	chk e(se_lnsu) 0.14472769704384092 1e-6
	chk e(se_lnse) 0.05524138436342782 1e-6
end
program define ref_ml_rob_unb
	chk _se[x1] 0.04558565790170962 1e-6
	chk _se[x2] 0.08473888938591069 1e-6
	chk _se[z] 0.10203975265600267 1e-6
	chk _se[_cons] 0.19187887372642687 1e-6
end
