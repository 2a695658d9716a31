* set and query for the settings kept with the saved results: their c()
* values, ranges and messages; query lists every setting, grouped; sort
* leaves its starting seed in r(sortseed).
display c(level) " " c(maxiter) " " c(checksum) " " c(searchdefault)
set level 90
display c(level)
set level 99.5
display c(level)
cap noi set level 5
display _rc
cap noi set level abc
display _rc
cap noi set level
display _rc
set maxiter 100
display c(maxiter)
cap noi set maxiter 2.5
display _rc
cap noi set maxiter 16001
display _rc
set checksum on
display c(checksum)
cap noi set checksum maybe
display _rc
set searchdefault net
display c(searchdefault)
cap noi set searchdefault web
display _rc
set scheme mono
display c(scheme) " " c(curscm)
set pagesize 40
display c(pagesize)
set timeout1 60
display c(timeout1)
cap noi set timeout1 0
display _rc
set vemostrict on
display c(vemostrict)
* The default level reaches the coefficient table.
input y x1
1 1
3 2
2 3
5 4
4 5
7 6
6 7
9 8
end
set level 90
regress y x1, noheader
query other
query mem
query vemo
query output
cap noi query nosuch
display _rc
cap noi query memory extra
display _rc
set sortseed 12345
sort y
display r(sortseed)
