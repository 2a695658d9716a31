* Vemo statistical built-ins: the GHK simulator and the sandwich variances.
* _robust is checked against the robust and clustered variances of regress;
* the other figures against an independent numpy 1.24 computation:
*   robust se (x1, x2, _cons) = .3245048585 .3422231185 .7134420767
*   cluster(g) se             = .3826262804 .4719828726 .6585348308
*   _svy, strata s, PSU p: V = ( .091542261, -.0763145269, -.0492145939 \
*        -.0763145269, .0796325691, -.0165416251 \
*        -.0492145939, -.0165416251, .2766065583 ), df 3
*   _svy with the weights w as well: diagonal .2334843049 .228287015 .434665602
*   GHK with the same Halton draws: 2 dimensions, V = (1,.5\.5,1), b = (0,0),
*   1000 draws in base 2: .333538280085 (exact: 1/4 + asin(.5)/(2 pi) = 1/3);
*   3 dimensions, V = (1,.3,.2\.3,2,.4\.2,.4,1.5), 50 draws in bases 2 and 3:
*   b = (.5,1,-.2): .276600609467, b = (0,0,0): .174912060728
input y x1 x2 g w s p
1 1 2 1 1 1 1
3 2 1 1 2 1 1
2 3 5 2 1 1 2
5 4 3 2 3 1 2
4 5 4 3 1 2 1
7 6 8 3 2 2 1
6 7 6 4 1 2 2
9 8 7 4 2 2 3
end
vemo
y = st_data(., "y")
X = st_data(., ("x1", "x2")), J(8, 1, 1)
V0 = invsym(cross(X, X))
e = y - X*V0*cross(X, y)
end
quietly regress y x1 x2, robust
vemo
V = V0
_robust(V, X, e)
mreldif(V, st_matrix("e(V)")) < 1e-12
sqrt(diagonal(V))'
Vrob = V
end
quietly regress y x1 x2, cluster(g)
vemo
V = V0
_robust(V, X, e, st_data(., "g"))
mreldif(V, st_matrix("e(V)")) < 1e-12
sqrt(diagonal(V))'
end
* pweights: the bread from the weighted cross product, the scores weighted
quietly regress y x1 x2 [pw=w]
vemo
wt = st_data(., "w")
Vw = invsym(cross(X, wt, X))
ew = y - X*Vw*cross(X, wt, y)
V = Vw
_robust(V, X, ew, ., wt)
mreldif(V, st_matrix("e(V)")) < 1e-12
end
vemo
// a dropped (zero) row and column of the bread counts out of p
Vd = invsym(cross((X, X[., 1]), (X, X[., 1])))
diagonal(Vd)'
_robust(Vd, (X, X[., 1]), e)
V = V0
_robust(V, X, e)
mreldif(Vd[(1,2,3), (1,2,3)], V) < 1e-12
// errors
V = V0
_robust(V, X, e[(1,2,3)])
_robust(V, X[., (1,2)], e)
_robust(V, X, e, (1\2))
_robust(V, X, e, J(8, 2, 1))
_robust(V, X, (e[(1::7)] \ .))
_robust(V, X, e, ., J(8, 1, "a"))
_robust("V", X, e)
_robust(V, X, e, (1\1\1\1\1\1\1\1))
V
end
vemo
S = st_data(., "s")
P = st_data(., "p")
V = V0
_svy(V, X, e, S, P)
V
V = V0
_svy(V, X, e, S, P, wt)
diagonal(V)'
// no strata and one PSU per observation: G = n/(n-1) times the sum of the
// outer products of the scores, whose mean is zero at the least-squares fit;
// the robust variance has n/(n-p) in its place
V = V0
_svy(V, X, e, ., .)
V2 = V0
_robust(V2, X, e)
mreldif(V * (8 - 1)/(8 - 3), V2) < 1e-12
// PSUs as clusters: the cluster variance without its (n-1)/(n-p) factor
V = V0
_svy(V, X, e, J(0, 1, .), st_data(., "g"))
V2 = V0
_robust(V2, X, e, st_data(., "g"))
mreldif(V * (8 - 1)/(8 - 3), V2) < 1e-12
// a stratum with a single PSU leaves the variance missing
V = V0
_svy(V, X, e, S, (1\1\2\2\1\1\1\1))
V
V = V0
_svy(V, X, e, S[(1,2)], P)
_svy(V, X, e, S, (P, P))
_svy(V, X, e, S, J(8, 1, "a"))
_svy(V, X, e, S)
end
vemo
_ghk((0,0), (1,.5\.5,1), ghalton(1000, 2))
abs(_ghk((0,0), (1,.5\.5,1), ghalton(1000, 2)) - binormal(0, 0, .5)) < 1e-3
V3 = (1,.3,.2\.3,2,.4\.2,.4,1.5)
_ghk((.5,1,-.2 \ 0,0,0 \ ., 0, 0), V3, ghalton(50, (2,3)))
// independent components: the product of the margins for any draws
_ghk((0,0,0 \ 1,-1,.5), I(3), uniform(7, 2)) - (.125 \ normal(1)*normal(-1)*normal(.5))
// one dimension needs no draws: normal(b/sd)
_ghk((1 \ -2), 4, J(0, 0, .)) - (normal(.5) \ normal(-1))
_ghk((0,0), (1,2\2,1), ghalton(10, 2))
_ghk((0,0), (1,0\0,1), J(3, 1, 0))
_ghk((0,0), (1,0\0,1), J(0, 1, .))
_ghk((0,0,0), (1,0\0,1), ghalton(10, 2))
_ghk((0,0), (1,0\0,1), (.5 \ .))
_ghk((0,0), "V", ghalton(10, 2))
end
* views: read like matrices, refused where the argument is replaced
vemo
st_view(vw, ., "x1")
chebyeval((1,2), vw)'
ghalton(1, vw[(2\3)]')
_fft(vw)
_svd_2(vw, sv)
sv
_svd_2((1,2), vw)
V = V0
_robust(V, (vw, st_data(., "x2"), J(8, 1, 1)), e)
mreldif(V, Vrob) < 1e-12
_robust(vw, X, e)
end
