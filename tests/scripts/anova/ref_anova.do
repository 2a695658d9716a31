* Written by gen_anova.R: reference values from lm, anova and car. Do not edit.
program define ref_twoway
	chk e(N) 72 1e-6
	chk e(rss) 84.843081340697665 1e-6
	chk e(mss) 14.856503620239835 1e-6
	chk e(df_m) 5 1e-6
	chk e(df_r) 66 1e-6
	chk e(r2) 0.14901269274150586 1e-6
	chk e(r2_a) 0.084543957343135023 1e-6
	chk e(F) 2.3113946910966026 1e-6
	chk e(rmse) 1.1337994674698049 1e-6
	chk e(ss_1) 3.0218696367052047 1e-6
	chk e(df_1) 2 1e-6
	chk e(F_1) 1.1753662931079458 1e-6
	chk e(ss_2) 4.6600861388238144 1e-6
	chk e(df_2) 1 1e-6
	chk e(F_2) 3.6251121517770493 1e-6
	chk e(ss_3) 8.5774637986610571 1e-6
	chk e(df_3) 2 1e-6
	chk e(F_3) 3.3362332070327336 1e-6
	chk _b[_cons] 3.6333086440720619 1e-6
	chk _b[a_1] -0.072846687550321934 1e-6
	chk _se[a_2*b_10] 0.22603276914389789 1e-6
end
program define ref_twoway_seq
	chk e(ss_1) 3.8314307803199399 1e-6
	chk e(df_1) 2 1e-6
	chk e(F_1) 1.490247805154955 1e-6
	chk e(ss_2) 2.4476090412588527 1e-6
	chk e(df_2) 1 1e-6
	chk e(F_2) 1.904011431107647 1e-6
	chk e(ss_3) 8.5774637986610571 1e-6
	chk e(df_3) 2 1e-6
	chk e(F_3) 3.3362332070327336 1e-6
end
program define ref_twoway_seq2
	chk e(ss_1) 1.5624999999999978 1e-6
	chk e(df_1) 1 1e-6
	chk e(F_1) 1.2154791925329647 1e-6
	chk e(ss_2) 4.7165398215787961 1e-6
	chk e(df_2) 2 1e-6
	chk e(F_2) 1.8345139244422966 1e-6
end
program define ref_test_a
	chk r(F) 1.1753662931079454 1e-6
	chk r(df) 2 1e-6
	chk r(df_r) 66 1e-6
	chk r(p) 0.31508312215441242 1e-6
end
program define ref_test_b_ab
	chk r(F) 2.8588259483910385 1e-6
	chk r(df) 3 1e-6
	chk r(p) 0.043530487044490709 1e-6
end
program define ref_ancova
	chk e(N) 72 1e-6
	chk e(rss) 73.519371384523424 1e-6
	chk e(mss) 26.180213576414076 1e-6
	chk e(df_m) 5 1e-6
	chk e(df_r) 66 1e-6
	chk e(r2) 0.26259099861520518 1e-6
	chk e(r2_a) 0.2067266803284783 1e-6
	chk e(F) 4.7005137924970573 1e-6
	chk e(rmse) 1.0554287609604336 1e-6
	chk e(ss_1) 0.72439691881595536 1e-6
	chk e(df_1) 2 1e-6
	chk e(F_1) 0.32515373663761754 1e-6
	chk e(ss_2) 20.144225586689743 1e-6
	chk e(df_2) 1 1e-6
	chk e(F_2) 18.083926231738705 1e-6
	chk e(ss_3) 1.9276288940447586 1e-6
	chk e(df_3) 2 1e-6
	chk e(F_3) 0.86523799517779809 1e-6
end
program define ref_fweight
	chk e(N) 144 1e-6
	chk e(rss) 158.71356813238657 1e-6
	chk e(mss) 26.410123002596066 1e-6
	chk e(df_m) 5 1e-6
	chk e(df_r) 138 1e-6
	chk e(r2) 0.14266203769316144 1e-6
	chk e(r2_a) 0.11159906804436304 1e-6
	chk e(F) 4.5926722173093815 1e-6
	chk e(rmse) 1.0724263703396624 1e-6
	chk e(ss_1) 5.1146859743166431 1e-6
	chk e(df_1) 2 1e-6
	chk e(F_1) 2.2235864039895783 1e-6
	chk e(ss_2) 1.4319063259742961 1e-6
	chk e(df_2) 1 1e-6
	chk e(F_2) 1.2450294912381259 1e-6
	chk e(ss_3) 17.49156035378806 1e-6
	chk e(df_3) 2 1e-6
	chk e(F_3) 7.6043761010064301 1e-6
end
program define ref_aweight
	chk e(N) 72 1e-6
	chk e(rss) 79.356784066193285 1e-6
	chk e(mss) 13.205061501298033 1e-6
	chk e(df_m) 5 1e-6
	chk e(df_r) 66 1e-6
	chk e(r2) 0.14266203769316144 1e-6
	chk e(r2_a) 0.077712192063855601 1e-6
	chk e(F) 2.1964954082784001 1e-6
	chk e(rmse) 1.09652884875613 1e-6
	chk e(ss_1) 2.5573429871583215 1e-6
	chk e(df_1) 2 1e-6
	chk e(F_1) 1.0634543671254506 1e-6
	chk e(ss_2) 0.71595316298714806 1e-6
	chk e(df_2) 1 1e-6
	chk e(F_2) 0.59544888711388633 1e-6
	chk e(ss_3) 8.74578017689403 1e-6
	chk e(df_3) 2 1e-6
	chk e(F_3) 3.6368755265682928 1e-6
end
program define ref_nested
	chk e(N) 72 1e-6
	chk e(rss) 96.750212751116095 1e-6
	chk e(mss) 2.949372209821405 1e-6
	chk e(df_m) 4 1e-6
	chk e(df_r) 67 1e-6
	chk e(r2) 0.029582592655495787 1e-6
	chk e(r2_a) -0.028352774947161263 1e-6
	chk e(F) 0.51061370419507046 1e-6
	chk e(rmse) 1.2016792526028155 1e-6
	chk e(ss_2) 1.3868722098214259 1e-6
	chk e(df_2) 3 1e-6
	chk e(F_2) 0.32013861749695433 1e-6
	chk e(F_1) 0.77711664111896606 1e-6
	chk e(df_1) 1 1e-6
	chk e(ss_1) 1.1221820949357095 1e-6
end
program define ref_nested_seq
	chk e(ss_1) 1.5624999999999978 1e-6
	chk e(F_1) 1.0820389642894319 1e-6
end
program define ref_empty
	chk e(N) 65 1e-6
	chk e(rss) 79.181948528197665 1e-6
	chk e(mss) 12.253260305936948 1e-6
	chk e(df_m) 4 1e-6
	chk e(df_r) 60 1e-6
	chk e(r2) 0.13401030590048324 1e-6
	chk e(r2_a) 0.076277659627182137 1e-6
	chk e(F) 2.3212222988374829 1e-6
	chk e(rmse) 1.148781590267109 1e-6
	chk e(ss_1) 5.8502867875905338 1e-6
	chk e(df_1) 2 1e-6
	chk e(F_1) 2.2165229182913482 1e-6
	chk e(ss_2) 0.2216484433128727 1e-6
	chk e(df_2) 1 1e-6
	chk e(F_2) 0.16795376782167035 1e-6
	chk e(ss_3) 0.39750072420515892 1e-6
	chk e(df_3) 1 1e-6
	chk e(F_3) 0.3012055638390389 1e-6
end
