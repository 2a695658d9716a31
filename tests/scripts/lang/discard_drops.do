* discard drops graph series, estimation and saved results, and the compiled
* Vemo functions (the globals stay), besides the autoloaded programs
set obs 4
generate x = _n
generate y = 3 * x + (_n == 2)
serset create x y
display "[`:serset id']"
quietly regress y x
scalar s = 1
quietly summarize x
program define sprog, sclass
  sreturn local a "1"
end
sprog
vemo: function vd_f() return(42)
vemo: vd_g = 7
vemo: vd_f()
display "[`e(cmd)'] [`r(N)'] [`s(a)']"
discard
display "[`:serset id'] [`e(cmd)'] [`r(N)'] [`s(a)'] [`:e scalars'] [`:r scalars']"
capture noisily serset set 0
display _rc
capture noisily vemo: vd_f()
display _rc
vemo: vd_g
display scalar(s)
capture noisily discard now
display _rc
