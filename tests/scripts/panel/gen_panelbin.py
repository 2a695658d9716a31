# Reference values for panelbin.do (ref_panelbin.do) on the data of
# mk_panelbin1 (mkdata.do): `chk` lines for the random-effects probit and
# logit. The likelihood is written here independently: each panel's integral
# over the normal effect by adaptive Gauss-Hermite quadrature (nodes from
# scipy, centred at the mode of the panel's log integrand and scaled by its
# curvature); the estimate solves the score equations with the nodes placed
# at the estimate and held there (finite differences of the likelihood on
# held nodes, Newton from a BFGS start); standard errors from the inverse of
# the finite-difference Hessian on held nodes; cluster and
# probability-weighted sandwiches from finite-difference panel scores. A second fit uses 60 points, its likelihood at the
# optimum checked against scipy.integrate.quad (no quadrature rule at all):
# the test checks intpoints(30) against it. Run with /usr/bin/python3 from this folder.
import sys

import numpy as np
from scipy import integrate, optimize, special, stats

sys.path.insert(0, "..")
from zdata import zelta_data

# The data: mk_panelbin1 of mkdata.do, made by zelta ($ZELTA or build/zelta).
D = zelta_data("mk_panelbin1")
ids, t, region = (D[k].astype(int) for k in ("id", "t", "region"))
yp, yl = D["yp"].astype(int), D["yl"].astype(int)
x1, x2, z, pw = (D[k] for k in ("x1", "x2", "z", "pw"))
n = len(ids)
G = ids.max()
T = np.bincount(ids)[1:]

X = np.column_stack([x1, x2, z, np.ones(n)])
starts = np.concatenate([[0], np.cumsum(T)])
gid = ids - 1


def logF(kind, y, e):
    """log P(y | index e) and its first two derivatives in e."""
    s = 2 * y - 1
    if kind == "probit":
        zz = s * e
        l = special.log_ndtr(zz)
        lam = np.exp(stats.norm.logpdf(zz) - l)
        return l, s * lam, -lam * (lam + zz)
    p = special.expit(e)
    return -np.logaddexp(0, -s * e), y - p, -p * (1 - p)


def adapt(kind, y, b):
    """Each panel's mode of the log integrand in v and the spread there."""
    sig = np.exp(b[-1] / 2)
    eta = X @ b[:-1]
    v = np.zeros(G)
    for _ in range(200):
        _, d1, d2 = logF(kind, y, eta + sig * v[gid])
        g1 = sig * np.bincount(gid, d1, G) - v
        g2 = sig * sig * np.bincount(gid, d2, G) - 1
        step = -g1 / g2
        v = v + step
        if np.max(np.abs(step)) < 1e-13:
            break
    _, _, d2 = logF(kind, y, eta + sig * v[gid])
    return v, 1 / np.sqrt(1 - sig * sig * np.bincount(gid, d2, G))


def panel_ll_agq(kind, y, b, K, at=None):
    """Per-panel log likelihoods by Gauss-Hermite quadrature on nodes placed
    by adapt() at b, or at the parameters `at` (nodes held fixed)."""
    xk, wk = special.roots_hermite(K)
    v, tau = adapt(kind, y, b if at is None else at)
    sig = np.exp(b[-1] / 2)
    eta = X @ b[:-1]
    terms = []
    for k in range(K):
        vk = v + np.sqrt(2) * tau * xk[k]
        l, _, _ = logF(kind, y, eta + sig * vk[gid])
        terms.append(np.log(np.sqrt(2) * tau * wk[k]) + xk[k] ** 2 + stats.norm.logpdf(vk) + np.bincount(gid, l, G))
    return special.logsumexp(np.array(terms), axis=0)


def panel_ll_quad(kind, y, b):
    """Per-panel log likelihoods by adaptive integration (scipy quad)."""
    sig = np.exp(b[-1] / 2)
    eta = X @ b[:-1]
    out = np.empty(G)
    for g in range(G):
        e = eta[starts[g]:starts[g + 1]]
        yy = y[starts[g]:starts[g + 1]]
        # scale by the integrand at its mode so the integral is near 1
        h = lambda vv: logF(kind, yy, e + sig * vv)[0].sum() + stats.norm.logpdf(vv)
        m = optimize.minimize_scalar(lambda vv: -h(vv), bounds=(-12, 12), method="bounded",
                                     options={"xatol": 1e-10}).x
        hm = h(m)
        val, _ = integrate.quad(lambda vv: np.exp(h(vv) - hm), -np.inf, np.inf, epsabs=0, epsrel=1e-13, limit=200)
        out[g] = hm + np.log(val)
    return out


def fdgrad(f, b, h=1e-3):
    """Central differences of a vector function f (per panel) in each
    parameter, with one Richardson step (error of order h^4)."""
    cols = []
    for j in range(len(b)):
        e = np.zeros(len(b))
        e[j] = h
        d1 = (f(b + e) - f(b - e)) / (2 * h)
        d2 = (f(b + e / 2) - f(b - e / 2)) / h
        cols.append((4 * d2 - d1) / 3)
    return np.array(cols).T


def fit(pll, b0, w):
    """Maximises sum w * pll(b) where pll(b, at) places its nodes at `at`:
    BFGS, then Newton on the score with the nodes placed at the current
    parameters and held there (the score equations a quadrature estimator
    solves). The Hessian is that of the held nodes at the optimum."""
    ll = lambda b: np.dot(w, pll(b, b))
    grad_at = lambda b, at: fdgrad(lambda c: np.array([np.dot(w, pll(c, at))]), b)[0]
    r = optimize.minimize(lambda b: -ll(b), b0, jac=lambda b: -grad_at(b, b), method="BFGS",
                          options={"gtol": 1e-7, "maxiter": 500})
    b = r.x
    for _ in range(6):
        H = hess(lambda c: grad_at(c, b), b)
        step = np.linalg.solve(H, grad_at(b, b))
        b = b - step
        if np.max(np.abs(step)) < 1e-12:
            break
    return b, ll(b), hess(lambda c: grad_at(c, b), b)


def hess(grad, b, h=1e-3):
    H = fdgrad(grad, b, h)
    return (H + H.T) / 2


def pooled(kind, y, w):
    def nll(b):
        return -np.dot(w, logF(kind, y, X @ b)[0])
    r = optimize.minimize(nll, np.zeros(4), method="BFGS", options={"gtol": 1e-10})
    return r.x, -r.fun


names = ["x1", "x2", "z", "_cons"]
out = ["* Written by gen_panelbin.py: reference values from an independent quadrature", "* likelihood maximised with scipy. Do not edit."]


def emit(prog, b, V, extra, tol="1e-6"):
    out.append(f"program define {prog}")
    for j, nm in enumerate(names):
        out.append(f"\tchk _b[{nm}] {b[j]!r} {tol}")
        out.append(f"\tchk _se[{nm}] {np.sqrt(V[j, j])!r} {tol}")
    out.append(f"\tchk _b[lnsig2u:_cons] {b[-1]!r} {tol}")
    out.append(f"\tchk _se[lnsig2u:_cons] {np.sqrt(V[-1, -1])!r} {tol}")
    for k, v in extra:
        out.append(f"\tchk {k} {v!r} {tol}")
    out.append("end")


for kind, y in (("probit", yp), ("logit", yl)):
    ones = np.ones(G)
    bp, llc = pooled(kind, y, np.ones(n))
    c = 1.0 if kind == "probit" else np.pi ** 2 / 3
    b0 = np.append(bp * np.sqrt(2), 0.0)
    pll = lambda b, at, kind=kind, y=y: panel_ll_agq(kind, y, b, 12, at)
    b, ll, H = fit(pll, b0, ones)
    V = np.linalg.inv(-H)
    s2 = np.exp(b[-1])
    extra = [("e(ll)", ll), ("e(ll_c)", llc), ("e(chi2_c)", 2 * (ll - llc)), ("e(sigma_u)", np.sqrt(s2)),
             ("e(rho)", s2 / (s2 + c))]
    emit(f"ref_{kind}_re", b, V, extra)
    # cluster sandwich on the panels and on regions
    S = fdgrad(lambda c: pll(c, b), b)
    for tag, cl in (("rob", np.arange(G)), ("clu", region[starts[:-1]] - 1)):
        C = len(np.unique(cl))
        Sc = np.array([S[cl == k].sum(axis=0) for k in np.unique(cl)])
        Vr = V @ (Sc.T @ Sc) @ V * C / (C - 1)
        emit(f"ref_{kind}_{tag}", b, Vr, [])
    # probability weights of panels
    wg = pw[starts[:-1]]
    bw, llw, Hw = fit(pll, b, wg)
    Vw = np.linalg.inv(-Hw)
    Sw = fdgrad(lambda c: pll(c, bw), bw) * wg[:, None]
    Vw = Vw @ (Sw.T @ Sw) @ Vw * G / (G - 1)
    emit(f"ref_{kind}_pw", bw, Vw, [("e(ll)", llw)])
    # many points against intpoints(30); that rule checked here against the
    # integral without any quadrature rule (scipy quad) at its optimum
    p60 = lambda b, at, kind=kind, y=y: panel_ll_agq(kind, y, b, 60, at)
    bq, llq, Hq = fit(p60, b, ones)
    exact = panel_ll_quad(kind, y, bq).sum()
    assert abs(exact - llq) < 1e-9 * abs(llq), (exact, llq)
    emit(f"ref_{kind}_exact", bq, np.linalg.inv(-Hq), [("e(ll)", exact)], "1e-6")

with open("ref_panelbin.do", "w") as f:
    f.write("\n".join(out) + "\n")
