* Vemo numeric built-ins: generalized inverse, singular values, Chebyshev
* series, Fourier transforms, cyclic fill, Halton sequences and traces of
* products, with their errors. Values checked with numpy 1.24:
*   pinv((1,2\3,4\5,6)) = (-1.3333333333,-.3333333333,.6666666667 \
*                          1.0833333333,.3333333333,-.4166666667)
*   pinv((1,2,3\2,4,6)) = (.0142857143,.0285714286 \ .0285714286,.0571428571 \
*                          .0428571429,.0857142857)
*   pinv((1+2i,3 \ i,4-i \ 2,-1+i)) = (.1296296296-.1481481481i,
*     -.037037037+.0185185185i, .2962962963-.037037037i \ .0648148148-.037037037i,
*     .1481481481+.0462962963i, -.0462962963-.1203703704i); pinv((1+i,2+2i)) = (.1-.1i \ .2-.2i)
*   svd values (1,2\3,4\5,6) = 9.5255180916, .5143005807
*   svd values (1+2i,3\ i,4-i) = 5.5029861763, 1.3103980857
*   chebval((.5,-1,2,.25), (1,2,3,-.5)) = 1, 2.5, 13, -.78125
*   chebval on (0,4) of (1,2,3) at x = 1, 3: -1.5, .5
*   fft((1,2,3,4)) = 10, -2+2i, -2, -2-2i
*   fft((1,0,-1,2,.5)) = 2.5, .3454915028+2.238884015i, .9045084972-2.5592769227i,
*                        .9045084972+2.5592769227i, .3454915028-2.238884015i
*   ifft((1,2i,3)) = 1.3333333333+.6666666667i, -.7440169359-1.1993587371i,
*                    .4106836025+.5326920705i
*   trace(AVBV) = 323 (2 x 2) and 39 (rectangular); trace(ABBAV) = 338
*   (symmetric A, B) and 1780 (general)
*   radical inverses of 3..6 in base 5: .6, .8, .04, .24
vemo
A = (1,2\3,4\5,6)
ginvr(A)
mreldif(A*ginvr(A)*A, A) < 1e-14
ginvr((1,2,3\2,4,6))
ginvr((1,2,3\2,4,6), 100)
ginvr((1,2,3\2,4,6), .)
ginvr((1,.\3,4))
rows(ginvr(J(0,3,.))), cols(ginvr(J(0,3,.)))
ginvr((4,0\0,1e-20))
ginvr((4,0\0,1e-20), 0)
Z = (1+2i, 3 \ 1i, 4-1i \ 2, -1+1i)
ginvr(Z)
G = ginvr(Z)
// the four Penrose conditions, ' being the conjugate transpose
mreldif(Z*G*Z, Z) < 1e-14, mreldif(G*Z*G, G) < 1e-14, mreldif((Z*G)', Z*G) < 1e-14, mreldif((G*Z)', G*Z) < 1e-14
ginvr((1+1i, 2+2i))
ginvr((1+1i, .))
ginvr(A, -1)
ginvr("a")
ginvr(A, (1,2))
ginvr()
_svd_2(A, s)
s
A
_svd_2((1+2i,3\1i,4-1i), s)
s
_svd_2(J(0,2,.), s)
rows(s), cols(s)
_svd_2((1,.), s)
_svd_2("x", s)
chebyeval((1,2,3,-.5), (.5,-1,2,.25))
chebyeval((1\2\3), (1\3), (0,4))
chebyeval((1,2,3), (.\2))
chebyeval(J(1,0,.), (1,2))
chebyeval((1,2\3,4), 1)
chebyeval((1,2), 1, (4,0))
chebyeval((1,2), 1, (0,1,2))
chebyeval((1,2), "x")
chebyeval((1, 2i), .5)
chebyeval((1,2,3), (1i, 0))
chebyeval((1i, 1), (1, .), (0, 2))
h = (1,2,3,4)
_fft(h)
h
_invfft(h)
h
g = (1\0\-1\2\.5)
_fft(g)
g
_invfft(q = (1, 2i, 3))
q
_fft(J(0,1,.))
_fft((1,2\3,4))
_fft((1,.,3))
_fft(("a","b"))
_fft(h, h)
end
* the transforms against the plain O(n^2) sums, for lengths with small
* prime factors, primes above 64 (chirp convolution) and mixtures
vemo
complex rowvector ndft(numeric rowvector h, real scalar sgn) {
  real scalar n, k, tau
  complex rowvector H
  n = cols(h)
  tau = 8*atanr(1)
  H = J(1, n, C(0))
  // each coefficient as one vector sum, so the check stays quick in slow builds
  for (k=1; k<=n; k++) H[k] = sum(h :* exp(C(0, sgn*tau*mod(((1..n) :- 1)*(k-1), n)/n)))
  return(sgn > 0 ? H/n : H)
}
real scalar worst(real rowvector lens) {
  real scalar i, d, w
  complex rowvector h, H
  w = 0
  for (i=1; i<=cols(lens); i++) {
    h = C(uniform(1, lens[i]), uniform(1, lens[i]) :- .5)
    H = h
    _fft(H)
    d = mreldif(H, ndft(h, -1))
    if (d > w) w = d
    H = h
    _invfft(H)
    d = mreldif(H, ndft(h, 1))
    if (d > w) w = d
  }
  return(w)
}
uniformseed(2024)
worst((1,2,3,4,5,6,7,8,9,12,16,30,64,67,97,128,134,194,210,256,331,509)) < 1e-12
// long transforms: one coefficient summed directly, Parseval's identity
// (sum |x|^2 = sum |X|^2 / n) and the round trip
real rowvector bigcheck(real scalar n, real scalar k) {
  real scalar tau, e1, e2, e3
  real rowvector j
  complex rowvector x, X, d
  tau = 8*atanr(1)
  x = C(uniform(1, n), uniform(1, n) :- .5)
  X = x
  _fft(X)
  j = (0..n-1)
  d = sum(x :* exp(C(0, -tau * mod(j*k, n) / n)))
  e1 = abs(X[k+1] - d) / abs(d)
  e2 = reldif(sum(abs(x):^2), sum(abs(X):^2) / n)
  _invfft(X)
  e3 = mreldif(X, x)
  return((e1, e2, e3))
}
bigcheck(100003, 12345) :< (1e-11, 1e-13, 1e-13)
bigcheck(196608, 77777) :< (1e-11, 1e-13, 1e-13)
bigcheck(2^17, 3) :< (1e-11, 1e-13, 1e-13)
bigcheck(67*3*64, 1000) :< (1e-11, 1e-13, 1e-13)
x = uniform(1, 360)
y = x
_fft(y)
_invfft(y)
mreldif(Re(y), x) < 1e-14, sum(abs(Im(y))) < 1e-12
end
vemo
J2(2, 3, (1,2))
J2(3, 2, (1,2\3,4))
J2(1, 3, ("a","b"))
J2(2, 1, 1+2i)
J2(0, 3, J(1,0,.))
J2(2, 2, J(1,0,.))
J2(-1, 2, 1)
J2(2, ., 1)
ghalton(5, (2,3))
ghalton(4, 5, 2)
ghalton(0, 2)
ghalton(2, 1)
ghalton(2, 2.5)
ghalton(2, (2\3))
ghalton(2, 2, -1)
Av = (1,2\3,4)
Vv = (2,1\1,3)
Bv = (0,1\1,5)
trace_AVBV(Av, Vv, Bv)
sum(diagonal(Av*Vv*Bv*Vv))
trace_AVBV((1,2,0\0,1,3), (1,0\2,1\0,1), (1,1,1\0,2,1))
trace_AVBV((1,.\3,4), Vv, Bv)
trace_AVBV(Av, (1,2,3), Bv)
trace_AVBV(Av, Vv, "b")
S = (2,1\1,3)
T = (1,.5\.5,2)
W = (1,2\3,4)
trace_ABBAV(S, T, W)
sum(diagonal(S*T*T*S*W))
trace_ABBAV(Av, Vv, Bv)
sum(diagonal(Av*Vv*Vv*Av*Bv))
trace_ABBAV(Av, Vv, (1,2,3\4,5,6))
trace_ABBAV(J(0,0,.), J(0,0,.), J(0,0,.))
Ac = (1, 1i \ 0, 2)
trace_ABBAV(Ac, I(2), (1, 0 \ 1, 1))
sum(diagonal(Ac*Ac*(1, 0 \ 1, 1)))
trace_AVBV(Ac, Vv, Bv)
sum(diagonal(Ac*Vv*Bv*Vv))
trace_AVBV(Ac, (1, . \ 0, 1), Bv)
end
