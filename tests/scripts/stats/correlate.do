* correlate (listwise, covariance, weights) and with pairwise (significance, counts)
input float(price weight mpg) byte rep
4099 2930 22 3
5788 3860 17 4
11385 4720 14 3
3984 2120 30 .
. 2650 20 5
5149 1800 35 4
end
correlate price weight mpg
return list
matrix C = r(C)
matrix list C
correlate price weight mpg, covariance
return list
correlate price weight [fw=rep]
correlate price weight [aw=rep]
correlate price weight mpg rep, pairwise obs sig
return list
cor price weight mpg, pair star(0.05)
correlate price weight if rep == 4
correlate price weight in 1/3, cov
* by groups
gen byte g = _n > 3
by g, sort: correlate weight mpg
* Errors.
gen str3 s = "a"
cap noi correlate price s
display _rc
cap noi correlate price weight [pw=rep]
display _rc
cap noi correlate price weight if rep > 10 & rep < .
display _rc
cap noi correlate price weight, pairwise star(2)
display _rc
cap noi correlate price weight [iw=rep], pairwise
display _rc
cap noi correlate price weight, pairwise covariance
display _rc
cap noi correlate price weight, obs
display _rc
cap noi correlate price weight, bogus
display _rc
cap noi correlate price weight [fw=-rep]
display _rc
