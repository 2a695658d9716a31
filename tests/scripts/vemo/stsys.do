clear
set obs 6
gen t = _n
gen x = _n * _n
gen str3 s = "a" + string(_n)
vemo
st_select(V, st_data(., "t x"), (1 \ 0 \ 1 \ 1 \ 0 \ 0))
V
st_view(W, ., ("t", "x"))
st_select(A, W, (0 \ 1 \ 1 \ 0 \ 0 \ 1))
A
isview(A)
st_viewobs(A)
st_select(C, W, (0, 1))
isview(C), st_viewvars(C)
C'
st_select(D, W, (0 \ 0 \ 1 \ 1 \ 1 \ 0))
st_viewobs(D)
st_select(W, W, (1 \ 0 \ 0 \ 0 \ 0 \ 1))
W
st_store(6, "x", 99)
W
st_sview(S, ., "s")
st_select(S2, S, (1 \ 0 \ 0 \ 0 \ 0 \ 1))
S2
st_select(E, (1, 2, 3), (1, 0, 1))
E
st_select(E, (1, 2, 3), (1, 0))
st_select(E, (1, 2 \ 3, 4), (1, 1 \ 0, 0))
st_select(E, W, (1 \ 0 \ 1))
st_select(E, W, ("a" \ "b"))
st_select(E, W)
end
* st_dir lists names
global G_one 1
global G_two 2
scalar sc1 = 5
scalar str_sc = "text"
matrix M1 = (1, 2)
quietly summarize x
ereturn clear
vemo
st_dir("global", "macro", "G_*")
st_dir("global", "numscalar", "*")
st_dir("global", "strscalar", "*")
st_dir("global", "matrix", "M?")
st_dir("r()", "numscalar", "m*")
st_dir("r()", "numscalar", "s*", 1)
st_dir("e()", "matrix", "*")
rows(st_dir("r()", "macro", "*"))
st_dir("local", "macro", "*")
st_dir("local", "numscalar", "*")
st_dir("s()", "matrix", "*")
st_dir("r()", "strscalar", "*")
st_dir("globals", "macro", "*")
st_dir("global", "macros", "*")
st_dir("global", "macro", 1)
end
program define dirprog
  local first 1
  local second 2
  vemo: st_dir("local", "macro", "*")
end
dirprog
* st_tsrevar: plain names and time-series operated names
vemo: st_tsrevar(("t", "x"))
capture noisily vemo: st_tsrevar("L.x")
di _rc
char _dta[_TStvar] t
sort t
vemo
v = st_tsrevar(("x", "L.x", "D.x", "F2.x"))
cols(v), v[1], v[2] > 3
st_data(., v)
st_tsrevar("L(1/2).x")
st_tsrevar("nosuch")
st_tsrevar("L.nosuch")
st_tsrevar(("t" \ "x"))
st_tsrevar(1)
end
describe, short
