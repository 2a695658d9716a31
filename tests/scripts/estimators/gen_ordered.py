#!/usr/bin/python3
# Reference values for ordered.do: the data (ordered1.csv, values exact in
# single precision) and ref_ordered.do, `chk` lines against statsmodels'
# OrderedModel (logit and probit; its thresholds are the first cut and the
# logs of the increments, so the cut points' variance is carried over by
# the Jacobian at the optimum) and MNLogit (whose base is its first
# category: the outcomes are recoded so that the wanted base comes first).
# Run with /usr/bin/python3 from this folder.
import numpy as np
import statsmodels.api as sm
from statsmodels.miscmodels.ordinal_model import OrderedModel

from refgen import chk, coefs, out, q, save, write_csv

rng = np.random.default_rng(11)
n = 500
x1 = q(rng.normal(size=n))
x2 = (rng.uniform(size=n) < 0.5).astype(float)
g = rng.integers(1, 26, size=n).astype(float)
lat = 0.9 * x1 - 0.7 * x2 + rng.logistic(size=n)
# ordered outcome with values 1, 3, 4, 7 (not consecutive)
yo = np.select([lat < -1.0, lat < 0.3, lat < 1.4], [1, 3, 4], 7).astype(float)
# unordered outcome 1, 2, 5: category 1 the most frequent
u = np.column_stack([np.zeros(n), -0.6 + 0.8 * x1, -0.9 - 0.5 * x1 + 0.9 * x2])
u = u + rng.gumbel(size=u.shape)
ym = np.array([1.0, 2.0, 5.0])[u.argmax(axis=1)]
write_csv("ordered1.csv", dict(yo=yo, ym=ym, x1=x1, x2=x2, g=g))
out.append("* ordered outcome counts: %s; unordered: %s" % (
    dict(zip(*np.unique(yo, return_counts=True))), dict(zip(*np.unique(ym, return_counts=True)))))
X = np.column_stack([x1, x2])

for prog, distr in (("ref_ologit", "logit"), ("ref_oprobit", "probit")):
    m = OrderedModel(yo, X, distr=distr)
    r = m.fit(method="newton", maxiter=200, disp=0, tol=1e-14)
    p = np.asarray(r.params)
    V = np.asarray(r.cov_params())
    k = 2
    th = p[k:]
    cuts = np.cumsum(np.concatenate([[th[0]], np.exp(th[1:])]))
    J = np.zeros((len(p), len(p)))
    J[:k, :k] = np.eye(k)
    for a in range(len(cuts)):
        J[k + a, k] = 1
        for c in range(1, a + 1):
            J[k + a, k + c] = np.exp(th[c])
    Vc = J @ V @ J.T
    b = np.concatenate([p[:k], cuts])
    names = ["x1", "x2"] + ["cut%d" % (a + 1) for a in range(len(cuts))]
    freq = np.unique(yo, return_counts=True)[1]
    ll0 = np.sum(freq * np.log(freq / n))
    chk(prog, coefs(names, b, Vc) + ["e(ll) %.17g 1e-8" % r.llf, "e(ll_0) %.17g 1e-8" % ll0])

Xc = sm.add_constant(X, prepend=False)
for prog, order in (("ref_mlogit", [1.0, 2.0, 5.0]), ("ref_mlogit_b5", [5.0, 1.0, 2.0])):
    code = np.array([order.index(v) for v in ym])
    r = sm.MNLogit(code, Xc).fit(method="newton", maxiter=100, disp=0, tol=1e-14)
    p = np.asarray(r.params)  # (k+1) x (J-1), equations are columns
    V = np.asarray(r.cov_params())
    L = []
    names = []
    for e in range(p.shape[1]):
        lab = "%d" % order[e + 1]
        names += ["%s:x1" % lab, "%s:x2" % lab, "%s:_cons" % lab]
    L = coefs(names, p.T.ravel(), V)
    L += ["e(ll) %.17g 1e-8" % r.llf, "e(ll_0) %.17g 1e-8" % r.llnull, "e(chi2) %.17g 1e-6" % r.llr]
    chk(prog, L)

save("ref_ordered.do", "gen_ordered.py")
