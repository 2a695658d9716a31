* Vemo bulk paths that work a block of rows at a time: st_data over mixed
* storage types, and cross products with and without missing values past
* the first block
clear
set obs 5000
generate double x = _n
generate byte b = mod(_n, 100)
generate str2 s = "a"
generate float f = _n / 4
generate long l = 100000 + _n
replace b = . in 1025
vemo
X = st_data(., .)
rows(X), cols(X)
X[(1, 1023, 1024, 1025, 1026, 2049, 5000), .]
colsum(X[., (1, 4, 5)])
colmissing(X)
X[1025, 2]
all(X[., 1] :== st_data(., "x")), all(X[., 4] :== st_data(., "f")), all(X[., 5] :== st_data(., "l"))
Y = st_data((1500, 4100), (5, 1))
rows(Y), Y[1, .], Y[rows(Y), .]
S = st_data(., (1, 2, 4, 5), 0)
rows(S)
S[(1024, 1025, 4999), .]
T = st_data(., (1, 2), "b")
rows(T)
T[(1, 99, 100, 1024, 1025), .]
colsum(T)
L = st_data(((1::1100) \ (2000::2100)), (1, 4, 3))
rows(L)
L[(1, 1024, 1025, 1100, 1101, 1201), .]
st_data((5000 \ 1 \ 2500), (5, 2))
n = 10000
Z = ((1::n), J(n, 1, 1))
cross(Z, Z)
C = cross(Z, Z)
C[1, 1] - 333383335000
cross(Z, J(n, 1, 2))
cross(Z, (J(n, 1, 2), (1::n)))
Z[9000, 1] = .
cross(Z, Z)
C = cross(Z, Z)
C[1, 1] - 333302335000
cross(Z, J(n, 1, 2))
Z[9000, 1] = 9000
w = J(n, 1, 2)
w[n] = .
cross(Z, w)
cross(w, w)
end
