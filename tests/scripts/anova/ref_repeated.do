* Written by gen_repeated.R: reference values from car::Anova. Do not edit.
program define ref_split
	chk e(F_1) 1.9454725642615216 1e-6
	chk e(df_2) 12 1e-6
	chk e(ss_2) 74.865551757812483 1e-6
	chk e(F_3) 6.9991060720295879 1e-6
	chk e(F_4) 1.7123651552603356 1e-6
	chk e(df_r) 36 1e-6
	chk e(rss) 38.3719482421875 1e-6
	chk e(gg_3) 0.54878854444021186 1e-6
	chk e(gg_4) 0.54878854444021186 1e-6
	chk e(hf_3) 0.73067690358886306 1e-6
	chk e(box_3) 0.33333333333333331 1e-6
	chk e(N_bse) 15 1e-6
	chk e(N_groups) 3 1e-6
	chk r_p_gg_b 0.0072315786821236152 1e-6
	chk r_p_gg_ab 0.19411021937492393 1e-6
	chk r_p_hf_b 0.0029409081625882487 1e-6
	chk r_p_box_ab 0.22170832427771514 1e-6
end
program define ref_onegroup
	chk e(F_2) 6.3526222524344806 1e-6
	chk e(gg_2) 0.6202151932762463 1e-6
	chk e(hf_2) 0.7114514440838926 1e-6
	chk e(N_groups) 1 1e-6
end
program define ref_two
	chk e(gg_2) 0.66716402222877325 1e-6
	chk e(hf_2) 0.77849626959285123 1e-6
	chk e(box_2) 0.33333333333333331 1e-6
	chk e(gg_4) 0.6111826956186831 1e-6
	chk e(hf_4) 0.69873072513684131 1e-6
	chk e(box_3) 1 1e-6
end
