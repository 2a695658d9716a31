* Written by gen_repeated.R: reference values from car::Anova. Do not edit.
program define ref_split
	chk e(F_1) 2.8268994543096326 1e-6
	chk e(df_2) 12 1e-6
	chk e(ss_2) 93.810351562499818 1e-6
	chk e(F_3) 9.8187950155508332 1e-6
	chk e(F_4) 1.9238940497626447 1e-6
	chk e(df_r) 36 1e-6
	chk e(rss) 47.726562500000014 1e-6
	chk e(gg_3) 0.73840438632295613 1e-6
	chk e(gg_4) 0.73840438632295613 1e-6
	chk e(hf_3) 1 1e-6
	chk e(box_3) 0.33333333333333331 1e-6
	chk e(N_bse) 15 1e-6
	chk e(N_groups) 3 1e-6
	chk r_p_gg_b 0.00045835527774436377 1e-6
	chk r_p_gg_ab 0.13032479582124556 1e-6
	chk r_p_hf_b 7.165778493769131e-05 1e-6
	chk r_p_box_ab 0.18848445689214632 1e-6
end
program define ref_onegroup
	chk e(F_2) 8.673963164728919 1e-6
	chk e(gg_2) 0.69835115847111695 1e-6
	chk e(hf_2) 0.82390968242846896 1e-6
	chk e(N_groups) 1 1e-6
end
program define ref_two
	chk e(gg_2) 0.66155507198123731 1e-6
	chk e(hf_2) 0.77040378644588337 1e-6
	chk e(box_2) 0.33333333333333331 1e-6
	chk e(gg_4) 0.79341551085425355 1e-6
	chk e(hf_4) 0.96685063307328056 1e-6
	chk e(box_3) 1 1e-6
end
