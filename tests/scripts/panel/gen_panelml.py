# Reference values for the maximum-likelihood random-effects fits in
# panelml.do: ref_panelml.do, `chk` lines. Each panel's log likelihood is the
# multivariate normal density of its y (scipy.stats) with mean X b and
# covariance se2 I + su2 J; maximised over b, ln su and ln se with scipy;
# standard errors from the inverse of the finite-difference Hessian (central
# differences with a Richardson step) of the
# whole likelihood; the sandwich clustered by panel from finite-difference
# panel scores, times G/(G-1). Data: mk_panel1 of mkdata.do, made by zelta.
# Run with /usr/bin/python3 from this folder.
import sys

import numpy as np
from scipy import optimize, stats

sys.path.insert(0, "..")
from zdata import zelta_data

D = zelta_data("mk_panel1")
raw = np.rec.fromarrays(list(D.values()), names=list(D))
out = ["* Written by gen_panelml.py: reference values from an independent normal", "* likelihood maximised with scipy. Do not edit."]
names = ["x1", "x2", "z", "_cons"]


def panels(d):
    ids = np.unique(d["id"])
    X = np.column_stack([d["x1"], d["x2"], d["z"], np.ones(len(d))])
    return [(X[d["id"] == g], d["y"][d["id"] == g]) for g in ids]


def pll(P, b):
    su2, se2 = np.exp(2 * b[4]), np.exp(2 * b[5])
    out = np.empty(len(P))
    for i, (X, y) in enumerate(P):
        T = len(y)
        S = se2 * np.eye(T) + su2 * np.ones((T, T))
        out[i] = stats.multivariate_normal.logpdf(y, X @ b[:4], S)
    return out


def fd(f, b, h):
    """Central differences in each parameter with one Richardson step."""
    cols = []
    for j in range(len(b)):
        e = np.zeros(len(b))
        e[j] = h
        d1 = (f(b + e) - f(b - e)) / (2 * h)
        d2 = (f(b + e / 2) - f(b - e / 2)) / h
        cols.append((4 * d2 - d1) / 3)
    return np.array(cols).T


for tag, d in (("bal", raw), ("unb", raw[raw["bal"] == 1])):
    P = panels(d)
    X = np.column_stack([d["x1"], d["x2"], d["z"], np.ones(len(d))])
    b0 = np.linalg.lstsq(X, d["y"], rcond=None)[0]
    ll = lambda b: pll(P, b).sum()
    grad = lambda b: fd(lambda c: np.array([ll(c)]), b, 1e-3)[0]
    r = optimize.minimize(lambda b: -ll(b), np.append(b0, [0.0, 0.0]), jac=lambda b: -grad(b), method="BFGS",
                          options={"gtol": 1e-9})
    b = r.x
    hess = lambda b: (lambda H: (H + H.T) / 2)(fd(grad, b, 1e-3))
    for _ in range(3):
        b = b - np.linalg.solve(hess(b), grad(b))
    V = np.linalg.inv(-hess(b))
    llv = ll(b)
    # the pooled regression's likelihood (su2 = 0)
    e = d["y"] - X @ np.linalg.lstsq(X, d["y"], rcond=None)[0]
    n = len(e)
    llc = -0.5 * n * (1 + np.log(2 * np.pi * (e @ e) / n))
    su, se = np.exp(b[4]), np.exp(b[5])
    L = [f"\tchk _b[{nm}] {b[j]!r} 1e-6" for j, nm in enumerate(names)]
    L += [f"\tchk _se[{nm}] {np.sqrt(V[j, j])!r} 1e-6" for j, nm in enumerate(names)]
    L += [f"\tchk e(ll) {llv!r} 1e-6", f"\tchk e(ll_c) {llc!r} 1e-6", f"\tchk e(chi2_c) {2 * (llv - llc)!r} 1e-6",
          f"\tchk e(sigma_u) {su!r} 1e-6", f"\tchk e(sigma_e) {se!r} 1e-6",
          f"\tchk e(rho) {su * su / (su * su + se * se)!r} 1e-6",
          f"\tchk e(se_lnsu) {np.sqrt(V[4, 4])!r} 1e-6", f"\tchk e(se_lnse) {np.sqrt(V[5, 5])!r} 1e-6"]
    out += [f"program define ref_ml_{tag}"] + L + ["end"]
    S = fd(lambda c: pll(P, c), b, 1e-3)
    G = len(P)
    Vr = V @ (S.T @ S) @ V * G / (G - 1)
    out += [f"program define ref_ml_rob_{tag}"]
    out += [f"\tchk _se[{nm}] {np.sqrt(Vr[j, j])!r} 1e-6" for j, nm in enumerate(names)] + ["end"]

with open("ref_panelml.do", "w") as f:
    f.write("\n".join(out) + "\n")
