#!/usr/bin/env python3
# Writes fn_accuracy_ref.inc: reference values of the function library computed
# independently in 50-digit arithmetic (python3-mpmath), one row per case:
# family, function name, arguments (as exact doubles), reference value.
# Run by hand when cases change: python3 fn_accuracy_gen.py > fn_accuracy_ref.inc
import mpmath as mp

mp.mp.dps = 50
rows = []


def add(family, name, args, ref):
    ref = mp.mpf(ref)
    rows.append((family, name, [float(a) for a in args], ref))


def Phi(z):
    return mp.ncdf(mp.mpf(z))


def P(a, x):
    return mp.gammainc(mp.mpf(a), 0, mp.mpf(x), regularized=True)


def Q(a, x):
    return mp.gammainc(mp.mpf(a), mp.mpf(x), mp.inf, regularized=True)


def I(a, b, x):
    return mp.betainc(mp.mpf(a), mp.mpf(b), 0, mp.mpf(x), regularized=True)


def Ic(a, b, x):  # 1 - I_x(a, b)
    return mp.betainc(mp.mpf(a), mp.mpf(b), mp.mpf(x), 1, regularized=True)


def root(f, x0, lo=None, hi=None):
    if lo is not None:
        return mp.findroot(f, (mp.mpf(lo), mp.mpf(hi)), solver='anderson')
    return mp.findroot(f, mp.mpf(x0))


def bisect(f, lo, hi, increasing=True, n=400):
    lo, hi = mp.mpf(lo), mp.mpf(hi)
    for _ in range(n):
        mid = (lo + hi) / 2
        if (f(mid) < 0) == increasing:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


# ---- elementary ----
for x in [1e-300, 1e-10, 0.3, 1, 2.5, 100, 1e10, 1e300]:
    add("elementary", "ln", [x], mp.log(x))
    add("elementary", "sqrt", [x], mp.sqrt(x))
    add("elementary", "log10", [x], mp.log10(x))
for x in [-700, -20, -1e-8, 0.5, 1, 30, 700]:
    add("elementary", "exp", [x], mp.exp(x))
for x in [-3, -1e-8, 0.5, 1, 2, 10, 100]:
    add("elementary", "sin", [x], mp.sin(x))
    add("elementary", "cos", [x], mp.cos(x))
    add("elementary", "tan", [x], mp.tan(x))
    add("elementary", "atan", [x], mp.atan(x))
    add("elementary", "tanh", [x], mp.tanh(x))
for x in [-0.99, -1e-9, 0.25, 0.5, 0.999999]:
    add("elementary", "asin", [x], mp.asin(x))
    add("elementary", "acos", [x], mp.acos(x))
    add("elementary", "atanh", [x], mp.atanh(x))
for y, x in [(1, 2), (-1, -2), (1e-20, -1), (3, 0.5)]:
    add("elementary", "atan2", [y, x], mp.atan2(y, x))

# ---- logit family ----
for p in [1e-300, 1e-10, 0.1, 0.25, 0.4999, 0.5001, 0.75, 0.9, 1 - 1e-10]:
    pm = mp.mpf(p)
    add("logit", "logit", [p], mp.log(pm / (1 - pm)))
    add("logit", "cloglog", [p], mp.log(-mp.log1p(-pm)))
for x in [-700, -30, -1, -1e-9, 0.3, 5, 36, 700]:
    xm = mp.mpf(x)
    add("logit", "invlogit", [x], 1 / (1 + mp.exp(-xm)))
for x in [-40, -5, -1, 0.3, 1, 3.5]:
    xm = mp.mpf(x)
    add("logit", "invcloglog", [x], 1 - mp.exp(-mp.exp(xm)))

# ---- gamma-function family ----
for x in [1e-300, 1e-5, 0.5, 1 - 1e-9, 1.5, 2 + 1e-9, 2.5, 10.25, 171.5, 1e5, 1e200, -0.5, -2.5, -100.25]:
    add("gammafn", "lngamma", [x], mp.log(abs(mp.gamma(x))))
for x in [1e-10, 0.5, 1.4616321449683622, 2, 7.5, 1e6, 1e15, -0.5, -3.75]:
    add("gammafn", "digamma", [x], mp.digamma(x))
for x in [1e-10, 0.5, 2, 7.5, 1e6, 1e15, -0.5, -3.75]:
    add("gammafn", "trigamma", [x], mp.psi(1, x))
for n in [0, 1, 2, 10, 170, 171, 1e4, 1e9]:
    add("gammafn", "lnfactorial", [n], mp.loggamma(mp.mpf(n) + 1))
for n, k in [(5, 2), (50, 25), (1000, 3), (1000, 500), (60, 30), (10, 0), (1020, 510)]:
    add("gammafn", "comb", [n, k], mp.binomial(n, k))

# ---- normal ----
for z in [-37.5, -30, -20, -10, -5, -3, -2.33, -2.32, -2, -1, -0.5, -1e-5, 1e-5, 0.1, 1, 2,
          3.49, 3.51, 5, 8]:
    add("normal", "normal", [z], Phi(z))
for z in [-1e4, -1000, -100, -40, -35, -10, -1, -1e-3, 1, 5, 10, 30]:
    add("normal", "lnnormal", [z], mp.log(Phi(z)))
for p in [1e-300, 1e-100, 1e-20, 1e-10, 1e-5, 0.01, 0.0249, 0.3, 0.5 - 1e-9, 0.5, 0.7, 0.975,
          0.99999, 1 - 1e-12]:
    if p == 0.5:
        add("normal", "invnormal", [p], 0)
        continue
    pm = mp.mpf(p)
    add("normal", "invnormal", [p], mp.sqrt(2) * mp.erfinv(2 * pm - 1) if 1e-20 < p < 1 - 1e-20
        else bisect(lambda z: Phi(z) - pm, -40, 10))
for z, s, m in [(0, 1, 0), (1.5, 1, 0), (-30, 1, 0), (5, 2, 1), (60, 3, -20)]:
    zz = (mp.mpf(z) - m) / s
    add("normal", "normalden", [z, s, m], mp.npdf(zz) / s)
    add("normal", "lnnormalden", [z, s, m], mp.log(mp.npdf(zz) / s))


# ---- bivariate normal ----
def binorm(h, k, r):
    # integral over x < h of phi(x) Phi((k - r x)/s); the log of the integrand
    # is concave, so the integral is split around its mode in steps of its width
    h, k, r = mp.mpf(h), mp.mpf(k), mp.mpf(r)
    s = mp.sqrt((1 - r) * (1 + r))
    lf = lambda x: -x * x / 2 + mp.log(mp.ncdf((k - r * x) / s))
    d = lambda x: mp.diff(lf, x)
    if d(h) >= 0:
        m = h
        w = 1 / d(h) if d(h) > 0 else mp.mpf(1)
        w = min(w, 1 / mp.sqrt(-mp.diff(lf, h, 2)))
    else:
        m = bisect(lambda x: -d(x), h - 200, h, n=120)
        w = 1 / mp.sqrt(-mp.diff(lf, m, 2))
    f = lambda x: mp.npdf(x) * mp.ncdf((k - r * x) / s)
    # a dense grid over +-40 widths around the mode; coarse grids lose 1e-11
    lo, hi = m - 40 * w, min(h, m + 40 * w)
    pts = list(mp.linspace(lo, hi, 400))
    if hi < h:
        pts.append(h)
    return mp.quad(f, [-mp.inf] + pts)


for h, k, r in [(-1, -1, 0.5), (0, 0, 0.95), (1, 2, 0.3), (2, 3, -0.9), (-3, 4, 0.99), (0.5, -0.5, -0.5),
                (-5, -5, 0.5), (-10, -8, 0.3), (-10, -10, -0.5), (-6, -6, -0.9), (-20, -20, 0.9),
                (-3, -3, 0.999), (-2, 1, -0.999), (-8, 3, 0.7), (5, 5, 0.2), (-35, -35, 0.99)]:
    add("binormal", "binormal", [h, k, r], binorm(h, k, r))

# ---- incomplete gamma and chi-squared ----
for a, x in [(0.01, 1e-5), (0.01, 2), (0.5, 0.5), (0.5, 30), (1, 1e-10), (5, 1), (5, 30), (30.5, 30),
             (30.5, 60), (1000, 900), (1000, 1100), (1e5, 1e5 + 1000), (2.5, 1e-3), (100, 10)]:
    add("gamma", "gammap", [a, x], P(a, x))
    add("gamma", "gammaptail", [a, x], Q(a, x))
# huge shapes: the density integrated in logarithms over windows scaled by sqrt(a)
def gamma_tail_big(a, x, upper):
    a, x = mp.mpf(a), mp.mpf(x)
    lg = mp.loggamma(a)
    f = lambda t: mp.exp((a - 1) * mp.log(t) - t - lg)
    sa = mp.sqrt(a)
    steps = [0, 0.01, 0.03, 0.1, 0.3, 1, 2, 4, 8, 16, 40]
    pts = [x + sa * d for d in steps] if upper else [x - sa * d for d in reversed(steps)]
    return mp.quad(f, pts)


for a in [2e9, 1e11, 1e12]:
    for z in [-5, 0.5, 5]:
        x = float(mp.mpf(a) + z * mp.sqrt(a))
        q = gamma_tail_big(a, x, True) if z > 0 else 1 - gamma_tail_big(a, x, False)
        p = 1 - q
        add("gamma", "gammap", [a, x], p)
        add("gamma", "gammaptail", [a, x], q)

for df, x in [(1, 0.5), (3, 10), (10, 100), (0.5, 1e-4), (200, 150), (4, 200)]:
    add("gamma", "chi2", [df, x], P(mp.mpf(df) / 2, mp.mpf(x) / 2))
    add("gamma", "chi2tail", [df, x], Q(mp.mpf(df) / 2, mp.mpf(x) / 2))
for a, p in [(0.5, 1e-10), (0.5, 0.3), (2, 0.5), (5, 0.999), (30.5, 1e-20), (1000, 0.5), (0.05, 0.9)]:
    pm = mp.mpf(p)
    xr = bisect(lambda x: P(a, x) - pm, 0, 1e5)
    add("gamma", "invgammap", [a, p], xr)
for df, p in [(1, 0.05), (3, 0.95), (10, 1e-8), (100, 0.5)]:
    pm = mp.mpf(p)
    add("gamma", "invchi2", [df, p], 2 * bisect(lambda x: P(mp.mpf(df) / 2, x) - pm, 0, 1e4))
    add("gamma", "invchi2tail", [df, p], 2 * bisect(lambda x: Q(mp.mpf(df) / 2, x) - pm, 0, 1e4,
                                                    increasing=False))
for a, b, g, x in [(2, 3, 0, 4), (0.5, 1, 1, 1.5), (10, 0.5, -1, 3), (1, 2, 0, 700)]:
    t = (mp.mpf(x) - g) / b
    add("gamma", "gammaden", [a, b, g, x], t ** (a - 1) * mp.exp(-t) / (mp.gamma(a) * b))

# ---- incomplete gamma derivatives ----
for a, x in [(0.5, 0.1), (0.5, 3), (2, 1), (2, 5), (10, 3), (10, 20), (50, 60), (1, 1e-3)]:
    am, xm = mp.mpf(a), mp.mpf(x)
    f = lambda aa: mp.gammainc(aa, 0, xm, regularized=True)
    add("gammaderiv", "dgammapda", [a, x], mp.diff(f, am))
    add("gammaderiv", "dgammapdada", [a, x], mp.diff(f, am, 2))
    add("gammaderiv", "dgammapdx", [a, x], xm ** (am - 1) * mp.exp(-xm) / mp.gamma(am))
    dens = xm ** (am - 1) * mp.exp(-xm) / mp.gamma(am)
    add("gammaderiv", "dgammapdadx", [a, x], dens * (mp.log(xm) - mp.digamma(am)))
    if x != a - 1:
        add("gammaderiv", "dgammapdxdx", [a, x], dens * ((am - 1) / xm - 1))

# ---- incomplete beta ----
for a, b, x in [(0.5, 0.5, 0.5), (2, 3, 0.1), (2, 3, 0.9), (10, 10, 0.5), (100, 2, 0.99), (0.01, 5, 1e-6),
                (1000, 1000, 0.45), (5, 0.5, 0.999999), (30, 40, 0.2), (1e-3, 1e-3, 0.5)]:
    add("beta", "ibeta", [a, b, x], I(a, b, x))
    xm = mp.mpf(x)
    add("beta", "betaden", [a, b, x], xm ** (a - 1) * (1 - xm) ** (b - 1) / mp.beta(a, b))
for a, b, p in [(2, 3, 0.5), (0.5, 0.5, 1e-10), (10, 2, 0.99), (100, 100, 0.3), (1, 1, 0.25)]:
    pm = mp.mpf(p)
    add("beta", "invibeta", [a, b, p], bisect(lambda x: I(a, b, x) - pm, 0, 1))
for n, k, p in [(10, 3, 0.2), (100, 50, 0.5), (1000, 10, 0.001), (20, 20, 0.9), (50, 1, 0.01)]:
    add("beta", "Binomial", [n, k, p], I(k, n - k + 1, p))
for n, k, pp in [(10, 3, 0.2), (100, 50, 0.5), (1000, 10, 0.01)]:
    pm = mp.mpf(pp)
    add("beta", "invbinomial", [n, k, pp], bisect(lambda p: I(k, n - k + 1, p) - pm, 0, 1))

# ---- t and F ----
def ttail(df, t):
    df, t = mp.mpf(df), mp.mpf(t)
    w = df / (df + t * t)
    half = I(df / 2, mp.mpf(1) / 2, w) / 2
    return half if t > 0 else 1 - half


for df, t in [(1, 0.5), (1, 1e6), (5, 2), (5, -2), (30, 0.01), (2.5, 40), (1e6, 3), (10, -30), (3, 1e-10)]:
    add("tF", "ttail", [df, t], ttail(df, t))
    dfm, tm = mp.mpf(df), mp.mpf(t)
    add("tF", "tden", [df, t], mp.gamma((dfm + 1) / 2) / (mp.sqrt(dfm * mp.pi) * mp.gamma(dfm / 2))
        * (1 + tm * tm / dfm) ** (-(dfm + 1) / 2))
    add("tF", "tprob", [df, t], I(dfm / 2, mp.mpf(1) / 2, dfm / (dfm + tm * tm)))
for df, p in [(1, 0.025), (5, 0.05), (5, 0.95), (30, 1e-10), (2.5, 0.4), (100, 0.5 + 1e-6)]:
    pm = mp.mpf(p)
    add("tF", "invttail", [df, p], bisect(lambda t: ttail(df, t) - pm, -1e6, 1e6, increasing=False))


def Ftail(d1, d2, f):
    d1, d2, f = mp.mpf(d1), mp.mpf(d2), mp.mpf(f)
    return I(d2 / 2, d1 / 2, d2 / (d2 + d1 * f))


for d1, d2, f in [(1, 1, 1), (3, 10, 2.5), (10, 3, 0.1), (50, 50, 1.5), (2, 100, 30), (5, 5, 1e-6),
                  (100, 2, 1e4)]:
    add("tF", "Ftail", [d1, d2, f], Ftail(d1, d2, f))
    add("tF", "F", [d1, d2, f], 1 - Ftail(d1, d2, f))
    a1, a2, fm = mp.mpf(d1), mp.mpf(d2), mp.mpf(f)
    add("tF", "Fden", [d1, d2, f], mp.sqrt((a1 * fm) ** a1 * a2 ** a2 / (a1 * fm + a2) ** (a1 + a2))
        / (fm * mp.beta(a1 / 2, a2 / 2)))
for d1, d2, p in [(1, 1, 0.5), (3, 10, 0.05), (10, 3, 0.99), (50, 50, 1e-8), (2, 100, 0.3)]:
    pm = mp.mpf(p)
    add("tF", "invFtail", [d1, d2, p], bisect(lambda f: Ftail(d1, d2, f) - pm, 0, 1e8, increasing=False))
    add("tF", "invF", [d1, d2, p], bisect(lambda f: 1 - Ftail(d1, d2, f) - pm, 0, 1e8))


# ---- noncentral ----
def pois_sum(lam, term):
    lam = mp.mpf(lam) / 2
    return mp.nsum(lambda j: mp.exp(-lam + j * mp.log(lam) - mp.loggamma(j + 1)) * term(j), [0, mp.inf])


def nchi2(df, lam, x):
    return pois_sum(lam, lambda j: P(mp.mpf(df) / 2 + j, mp.mpf(x) / 2))


def nibeta(a, b, lam, x):
    return pois_sum(lam, lambda j: I(mp.mpf(a) + j, b, x))


def nibetac(a, b, lam, x):
    return pois_sum(lam, lambda j: Ic(mp.mpf(a) + j, b, x))


def nbetaden(a, b, lam, x):
    xm = mp.mpf(x)
    return pois_sum(lam, lambda j: xm ** (a + j - 1) * (1 - xm) ** (b - 1) / mp.beta(a + j, b))


for df, lam, x in [(2, 1, 3), (5, 10, 20), (1, 0.5, 0.1), (10, 50, 100), (3, 2, 40), (20, 5, 5)]:
    add("noncentral", "nchi2", [df, lam, x], nchi2(df, lam, x))
for df, lam, p in [(2, 1, 0.5), (5, 10, 0.95), (10, 50, 0.01)]:
    pm = mp.mpf(p)
    add("noncentral", "invnchi2", [df, lam, p], bisect(lambda x: nchi2(df, lam, x) - pm, 0, 1e3, n=200))
for df, x, p in [(2, 3, 0.3), (5, 20, 0.5), (10, 30, 0.1)]:
    pm = mp.mpf(p)
    add("noncentral", "npnchi2", [df, x, p], bisect(lambda l: nchi2(df, l, x) - pm, 0, 200,
                                                    increasing=False, n=200))
for a, b, lam, x in [(2, 3, 1, 0.4), (5, 5, 10, 0.7), (1, 10, 0.5, 0.05), (10, 2, 20, 0.9)]:
    add("noncentral", "nibeta", [a, b, lam, x], nibeta(a, b, lam, x))
    add("noncentral", "nbetaden", [a, b, lam, x], nbetaden(a, b, lam, x))
for a, b, lam, p in [(2, 3, 1, 0.5), (5, 5, 10, 0.9)]:
    pm = mp.mpf(p)
    add("noncentral", "invnibeta", [a, b, lam, p], bisect(lambda x: nibeta(a, b, lam, x) - pm, 0, 1, n=200))
for d1, d2, lam, f in [(3, 10, 2, 2.5), (5, 20, 10, 4), (1, 5, 0.5, 0.3)]:
    a1, a2, fm = mp.mpf(d1), mp.mpf(d2), mp.mpf(f)
    xb = a1 * fm / (a1 * fm + a2)
    add("noncentral", "nFtail", [d1, d2, lam, f], nibetac(a1 / 2, a2 / 2, lam, xb))
    add("noncentral", "nFden", [d1, d2, lam, f], nbetaden(a1 / 2, a2 / 2, lam, xb) * a1 * a2 / (a1 * fm + a2) ** 2)
for d1, d2, lam, p in [(3, 10, 2, 0.05), (5, 20, 10, 0.5)]:
    a1, a2, pm = mp.mpf(d1), mp.mpf(d2), mp.mpf(p)
    g = lambda f: nibetac(a1 / 2, a2 / 2, lam, a1 * f / (a1 * f + a2)) - pm
    add("noncentral", "invnFtail", [d1, d2, lam, p], bisect(g, 0, 1e3, increasing=False, n=200))

print("// Generated by fn_accuracy_gen.py (50-digit arithmetic); do not edit.")
for fam, name, args, ref in rows:
    a = ", ".join(repr(x) for x in args)
    print('{"%s", "%s", {%s}, %d, %s},' % (fam, name, a, len(args), mp.nstr(ref, 20, min_fixed=0, max_fixed=0)))
