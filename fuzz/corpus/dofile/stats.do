input y x1 x2 g w
1 1 2 1 1
3 2 1 1 2
2 3 5 2 1
5 4 3 2 3
. 5 4 3 1
end
summarize
summarize y [aw=w], detail
summarize y x1 if g>1, meanonly
_regress y x1 x2 [fw=w], robust level(90)
_regress y x1 x2, cluster(g) noheader plus
_regress, beta
_regress y x1 x1 x2, hc3 eform(Odds)
_test x1 x2
_test 2*x1 - x2 = 3 + x1
_test x1 = = x2
_predict p, stdp
_predict r if g==1, residuals
