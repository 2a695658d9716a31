* Written by gen_manova.R: reference values from car and summary.manova. Do not edit.
program define ref_model
	chk r(wilks) 0.73823486258760929 1e-6
	chk r(F_wilks) 1.1152326892732496 1e-6
	chk r(df1_wilks) 15 1e-6
	chk r(df2_wilks) 143.95050165511535 1e-6
	chk r(p_wilks) 0.34791031733208178 1e-6
	chk r(pillai) 0.28171168614777098 1e-6
	chk r(F_pillai) 1.1192654564608195 1e-6
	chk r(df1_pillai) 15 1e-6
	chk r(df2_pillai) 162 1e-6
	chk r(p_pillai) 0.34301343231627413 1e-6
	chk r(lawley) 0.32769822668496007 1e-6
	chk r(F_lawley) 1.1068917879136428 1e-6
	chk r(df1_lawley) 15 1e-6
	chk r(df2_lawley) 152 1e-6
	chk r(p_lawley) 0.35472471389186394 1e-6
	chk r(roy) 0.19213292128875242 1e-6
	chk r(F_roy) 2.075035549918526 1e-6
	chk r(df1_roy) 5 1e-6
	chk r(df2_roy) 54 1e-6
	chk r(p_roy) 0.082724474900073369 1e-6
	chk e(df_r) 54 1e-6
	chk e(N) 60 1e-6
end
program define ref_a
	chk r(wilks) 0.89567843954653648 1e-6
	chk r(F_wilks) 0.98162895814783191 1e-6
	chk r(df1_wilks) 6 1e-6
	chk r(df2_wilks) 104 1e-6
	chk r(p_wilks) 0.44157856763283199 1e-6
	chk r(pillai) 0.10498891575119766 1e-6
	chk r(F_pillai) 0.97878275947204718 1e-6
	chk r(df1_pillai) 6 1e-6
	chk r(df2_pillai) 106 1e-6
	chk r(p_pillai) 0.44336724385845516 1e-6
	chk r(lawley) 0.11572702945513265 1e-6
	chk r(F_lawley) 0.98367975036862754 1e-6
	chk r(df1_lawley) 6 1e-6
	chk r(df2_lawley) 102 1e-6
	chk r(p_lawley) 0.44032895254509774 1e-6
	chk r(roy) 0.10888412582956311 1e-6
	chk r(F_roy) 1.9236195563222818 1e-6
	chk r(df1_roy) 3 1e-6
	chk r(df2_roy) 53 1e-6
	chk r(p_roy) 0.13693779983516613 1e-6
end
program define ref_b
	chk r(wilks) 0.84872238168701686 1e-6
	chk r(F_wilks) 3.0895207204028647 1e-6
	chk r(df1_wilks) 3 1e-6
	chk r(df2_wilks) 52 1e-6
	chk r(p_wilks) 0.03496051651527432 1e-6
	chk r(pillai) 0.15127761831298314 1e-6
	chk r(F_pillai) 3.0895207204028647 1e-6
	chk r(df1_pillai) 3 1e-6
	chk r(df2_pillai) 52 1e-6
	chk r(p_pillai) 0.03496051651527432 1e-6
	chk r(lawley) 0.1782415800232422 1e-6
	chk r(F_lawley) 3.0895207204028647 1e-6
	chk r(df1_lawley) 3 1e-6
	chk r(df2_lawley) 52 1e-6
	chk r(p_lawley) 0.03496051651527432 1e-6
	chk r(roy) 0.17824158002324217 1e-6
	chk r(F_roy) 3.0895207204028643 1e-6
	chk r(df1_roy) 3 1e-6
	chk r(df2_roy) 52 1e-6
	chk r(p_roy) 0.034960516515274355 1e-6
end
program define ref_ab
	chk r(wilks) 0.94608523743949746 1e-6
	chk r(F_wilks) 0.48704647486968256 1e-6
	chk r(df1_wilks) 6 1e-6
	chk r(df2_wilks) 104 1e-6
	chk r(p_wilks) 0.81672118184306519 1e-6
	chk r(pillai) 0.054051038484263833 1e-6
	chk r(F_pillai) 0.4907126028345935 1e-6
	chk r(df1_pillai) 6 1e-6
	chk r(df2_pillai) 106 1e-6
	chk r(p_pillai) 0.81404239588855942 1e-6
	chk r(lawley) 0.056843172801520535 1e-6
	chk r(F_lawley) 0.48316696881292454 1e-6
	chk r(df1_lawley) 6 1e-6
	chk r(df2_lawley) 102 1e-6
	chk r(p_lawley) 0.81954483058542182 1e-6
	chk r(roy) 0.054184828907229768 1e-6
	chk r(F_roy) 0.95726531069439258 1e-6
	chk r(df1_roy) 3 1e-6
	chk r(df2_roy) 53 1e-6
	chk r(p_roy) 0.41976763896132563 1e-6
end
program define ref_cov_a
	chk r(wilks) 0.9109590759034607 1e-6
	chk r(F_wilks) 0.85919154837249145 1e-6
	chk r(df1_wilks) 6 1e-6
	chk r(df2_wilks) 108 1e-6
	chk r(p_wilks) 0.52747587858818346 1e-6
	chk r(pillai) 0.089644741478097034 1e-6
	chk r(F_pillai) 0.86030434379522625 1e-6
	chk r(df1_pillai) 6 1e-6
	chk r(df2_pillai) 110 1e-6
	chk r(p_pillai) 0.52659415489519912 1e-6
	chk r(lawley) 0.097081316882728794 1e-6
	chk r(F_lawley) 0.85755163246410426 1e-6
	chk r(df1_lawley) 6 1e-6
	chk r(df2_lawley) 106 1e-6
	chk r(p_lawley) 0.52874885970914698 1e-6
	chk r(roy) 0.089691096121941941 1e-6
	chk r(F_roy) 1.6443367622356024 1e-6
	chk r(df1_roy) 3 1e-6
	chk r(df2_roy) 55 1e-6
	chk r(p_roy) 0.18971554876702937 1e-6
end
program define ref_cov_x
	chk r(wilks) 0.67030633235746573 1e-6
	chk r(F_wilks) 8.8533939351192537 1e-6
	chk r(df1_wilks) 3 1e-6
	chk r(df2_wilks) 54 1e-6
	chk r(p_wilks) 7.2033003140108839e-05 1e-6
	chk r(pillai) 0.32969366764253433 1e-6
	chk r(F_pillai) 8.8533939351192554 1e-6
	chk r(df1_pillai) 3 1e-6
	chk r(df2_pillai) 54 1e-6
	chk r(p_pillai) 7.2033003140108717e-05 1e-6
	chk r(lawley) 0.49185521861773634 1e-6
	chk r(F_lawley) 8.8533939351192537 1e-6
	chk r(df1_lawley) 3 1e-6
	chk r(df2_lawley) 54 1e-6
	chk r(p_lawley) 7.2033003140108839e-05 1e-6
	chk r(roy) 0.49185521861773629 1e-6
	chk r(F_roy) 8.8533939351192537 1e-6
	chk r(df1_roy) 3 1e-6
	chk r(df2_roy) 54 1e-6
	chk r(p_roy) 7.2033003140108839e-05 1e-6
end
program define ref_seq_b
	chk r(wilks) 0.85854832929772262 1e-6
	chk r(F_wilks) 2.965622301919431 1e-6
end
program define ref_seq_a
	chk r(pillai) 0.092345404076077497 1e-6
	chk r(F_pillai) 0.88747673627370027 1e-6
end
program define ref_con1
	chk r(wilks) 0.95180263554844935 1e-6
	chk r(F_wilks) 0.87772501632703437 1e-6
	chk r(df1_wilks) 3 1e-6
	chk r(df2_wilks) 52 1e-6
	chk r(p_wilks) 0.45870482017630609 1e-6
	chk r(pillai) 0.048197364451550699 1e-6
	chk r(F_pillai) 0.87772501632703603 1e-6
	chk r(df1_pillai) 3 1e-6
	chk r(df2_pillai) 52 1e-6
	chk r(p_pillai) 0.45870482017630609 1e-6
	chk r(lawley) 0.050637981711175166 1e-6
	chk r(F_lawley) 0.87772501632703614 1e-6
	chk r(df1_lawley) 3 1e-6
	chk r(df2_lawley) 52 1e-6
	chk r(p_lawley) 0.45870482017630565 1e-6
	chk r(roy) 0.050637981711175166 1e-6
	chk r(F_roy) 0.87772501632703614 1e-6
	chk r(df1_roy) 3 1e-6
	chk r(df2_roy) 52 1e-6
	chk r(p_roy) 0.45870482017630565 1e-6
	chk r(df) 1 1e-6
end
program define ref_con2
	chk r(wilks) 0.089271658105966226 1e-6
	chk r(F_wilks) 17.14487066531489 1e-6
	chk r(df1_wilks) 12 1e-6
	chk r(df2_wilks) 137.87057079748789 1e-6
	chk r(p_wilks) 5.9320962217233412e-22 1e-6
	chk r(pillai) 1.0677521621431798 1e-6
	chk r(F_pillai) 7.4600441550609489 1e-6
	chk r(df1_pillai) 12 1e-6
	chk r(df2_pillai) 162 1e-6
	chk r(p_pillai) 7.4538025754712507e-11 1e-6
	chk r(lawley) 8.5100994342510994 1e-6
	chk r(F_lawley) 35.931530944615751 1e-6
	chk r(df1_lawley) 12 1e-6
	chk r(df2_lawley) 152 1e-6
	chk r(p_lawley) 2.4104438414964812e-38 1e-6
	chk r(roy) 8.3157336908592931 1e-6
	chk r(F_roy) 112.26240482660046 1e-6
	chk r(df1_roy) 4 1e-6
	chk r(df2_roy) 54 1e-6
	chk r(p_roy) 1.7015393442250867e-25 1e-6
	chk r(df) 4 1e-6
end
