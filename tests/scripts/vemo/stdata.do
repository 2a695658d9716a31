* Vemo dataset interface: selectors, reading and storing cells, views,
* promotion of storage types, adding and dropping variables and observations
clear
set obs 5
generate double x = _n
generate byte b = 2 * _n
generate str3 s = "a" + string(_n)
replace b = . in 4
vemo
st_nobs(), st_nvar()
st_data(., .)
st_data((1,3), 1)
st_data((1,2\4,5), "x")
st_data((1\3\5), (1,2))
st_data(., "x b", 0)
st_data(., "x", "b")
st_data(0, 1)
_st_data(0, 1), _st_data(2, 2), _st_data(1, 9)
_st_data((1,2), 1)
_st_data(1, "x")
st_data(., 4)
st_data(., "nosuch")
st_data(., (1\2))
st_data((1,2,3), 1)
st_data((3,1), 1)
st_data(., 1, (1,2))
st_data(., 1i)
st_data(., "x" + 70*"y")
st_sdata((1\2), "s"), st_sdata((1\2), 1)
_st_sdata(3, 3)
rows(st_data(., "x b", "s")), cols(st_data(., "x b", "s"))
st_view(V, ., "x")
isview(V), rows(V), cols(V)
st_store(1, "x", 100)
V'
V[2] = 200
st_data(., "x")'
sum(V)
st_view(W, (2,4), ("x", "b"))
W
W[1,2] = 1000
st_data(2, "b")
st_vartype("b")
st_viewvars(W), st_viewobs(W)
st_viewvars(X = 1)
st_subview(U, W, 2, .)
U
st_view(Z, ., "x", "b")
st_viewobs(Z)'
Z = Z :* 2
isview(Z)
st_store(., "b", J(5, 1, 1.5))
st_data(., "b")'
st_store(., "b", J(4, 1, 1))
st_store(., "b", J(5, 1, "a"))
st_sstore(1, "s", "longer text")
st_vartype(3)
st_sview(S, (4\5), "s")
S[2] = "zz"
st_sdata(., "s")'
_st_store(9, 1, 5)
_st_store(5, 1, 55)
_st_sstore(5, 3, "q")
st_addvar("double", "z")
st_addvar(("int", "str5"), ("p", "q"))
st_addvar("double", "z")
st_addvar("nonsense", "w")
st_addvar(1, "w")
st_addvar("byte", 1)
st_addvar(("byte"\"byte"), ("w1", "w2"))
st_addobs(2)
st_nobs()
st_data(6, .)
st_sdata(7, "s q")
st_varname((1, 2)), st_varname(3)
st_varindex(("x", "q", "nope"))
st_varindex("b s")
st_dropvar(("p", "q"))
st_keepobsin((1, 5))
st_nobs(), st_nvar()
st_dropobsif(st_data(., "x") :> 100)
st_data(., "x")'
end
list
describe
