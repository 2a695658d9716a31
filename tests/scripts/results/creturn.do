* c() values in expressions and macros
set obs 7
generate x = 1
generate y = 2
display c(N) " " c(k) " " c(pi) " " c(version) " " c(matsize)
display "`c(Mons)'"
display "`c(Weekdays)'"
display "`c(ALPHA)'"
display c(maxbyte) " " c(minint) " " c(maxlong) " " c(epsdouble)
display c(linesize) " " "`c(more)'" " " "`c(dp)'" " " "`c(type)'"
set linesize 100
display c(linesize)
capture noisily error 459
display c(rc)
display "`c(rc)'"
display "`c(dirsep)'" " `c(os)'" " `c(byteorder)'"
display c(changed)
display length("`c(current_date)'") >= 10
display length(c(current_time))
display "`c(vemolibs)'"
display "`c(seed)'"
capture noisily display c(nosuch)
display _rc
display "[`c(nosuch)']"
capture noisily creturn
display _rc
capture noisily creturn junk
display _rc
* the whole listing; rows that differ between machines and builds are masked by creturn.sed
creturn list
