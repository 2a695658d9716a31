* Vemo dataset interface: macros, scalars, matrices, saved results,
* running commands, variable descriptions and value labels
clear
set obs 3
generate x = _n
label define yn 0 "no" 1 "yes"
local pre "before"
vemo
st_local("pre")
st_local("a", "hello")
st_local("a")
"[" + st_local("undefined") + "]"
st_local(32*"a")
st_local("1bad", "x")
st_local(1)
st_global("G", "gval")
st_global("G")
st_numscalar("s1", 3.5)
st_numscalar("s1")
rows(st_numscalar("nos")), cols(st_numscalar("nos"))
st_numscalar("s1", (1,2))
st_numscalar("s1", "x")
st_numscalar("bad name")
st_numscalar("c(version)", 1)
st_strscalar("t1", "text")
st_strscalar("t1")
st_numscalar("r(N)", 42)
st_numscalar("r(N)")
st_global("r(cmd)", "mine")
st_global("r(cmd)")
st_numscalar("e(ll)", -3)
st_matrix("M", (1,2\3,4))
st_matrix("M")
st_matrixcolstripe("M", ("","a"\"eq","b"))
st_matrixcolstripe("M")
st_matrixrowstripe("M", ("r"\"s"))
st_matrixrowstripe("M", ("","r"\"","s"))
st_replacematrix("M", (5,6\7,8))
st_replacematrix("M", (5,6))
st_replacematrix("nomat", 1)
rows(st_matrix("nomat"))
st_matrix("e(W)", I(2))
zelta("summarize x")
st_numscalar("r(mean)"), st_numscalar("r(max)")
zelta("nosuchcmd")
_zelta("nosuchcmd")
_zelta("display 1+1")
zelta("generate y = 2*x", 1)
st_data(., "y")'
st_macroexpand("pre is `pre' and G is $G")
c("N"), c("k")
st_vartype(1), st_vartype("y")
st_isnumvar(1), st_isstrvar(1)
st_varformat("x", "%9.2f")
st_varformat("x")
st_varformat("x", "%bad")
st_varlabel("x", "The x")
st_varlabel("x")
st_varvaluelabel("x", "yn")
st_varrename("y", "y2")
st_varname(2)
st_isfmt("%9.2f"), st_isnumfmt("%9s"), st_isstrfmt("%9s"), st_isname("a b"), st_isname("ab")
st_vlexists("yn"), st_vlexists("nolab")
st_vlmap("yn", (0,1,2))
st_vlsearch("yn", ("yes", "maybe"))
st_vlmodify("yn", (2\3), ("maybe"\"later"))
st_vlload("yn", v = ., t = .)
v, strlen(t)
st_vlmodify("yn", 2.5, "bad")
st_vldrop("yn")
st_vlexists("yn")
st_rclear()
st_numscalar("r(N)")
end
display "`a'"
display "$G"
scalar list
matrix list M
ereturn list
describe
