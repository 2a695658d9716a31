* Vemo linear algebra: cross products, sweep inverse, Cholesky, LU, QR,
* singular value and eigen decompositions, with their errors
vemo
X = (1,2\3,4\5,7)
cross(X, X)
cross(X, (1\2\3), X)
cross(X, 1, X, 0)
cross(X, 0, (1\1\1), X, 1)
cross((1,.\3,4\5,7), (1,.\3,4\5,7))
crossdev(X, (3, 13/3), X, (3, 13/3))
cross(X, (1,2))
cross(X, (1\2), X)
cross(X, "a")
A = (4,2\2,3)
L = A
_cholesky(L)
L
B = (4,2\2,-3)
_cholesky(B)
B
_cholesky((1,2,3))
invsym(A)
invsym((1,1\1,1))
invsym((1,2))
C = A
_luinv_la(C)
C
D = (1,2\2,4)
_luinv_la(D)
D
S = A
b = (1\2)
_lusolve_la(S, b)
b
_lud2_la(P = (0,1\2,3), piv = .)
P
piv
M = (3,1\1,3)
_symeigen_la(M, ev)
ev
abs(M)
U = (1,2\3,4\5,6)
_svd_la(U, s, Vt)
s
mreldif(U*(s:*Vt), (1,2\3,4\5,6)) < 1e-14
G = (0,1\-2,-3)
_eigen_la(G, gv)
gv
H = (1,2\3,4\5,6)
_hqrdp_la(H, tau, R, p = J(1,2,0))
R
p
Q = _hqrdq1(H, tau)
mreldif(Q'Q, I(2)) < 1e-14
mreldif(_hqrdmult(H, tau, (R\0,0), 0)[., p], (1,2\3,4\5,6)) < 1e-14
_svd_la((1,.), s, Vt)
_symeigen_la((1,2,3), ev)
end
