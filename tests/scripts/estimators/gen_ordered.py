#!/usr/bin/python3
# Reference values for ordered.do from the data that zelta
# makes (mk_ordered1 of mkdata.do; $ZELTA or build/zelta): ref_ordered.do, `chk` lines against statsmodels'
# OrderedModel (logit and probit; its thresholds are the first cut and the
# logs of the increments, so the cut points' variance is carried over by
# the Jacobian at the optimum) and MNLogit (whose base is its first
# category: the outcomes are recoded so that the wanted base comes first).
# Run with /usr/bin/python3 from this folder.
import sys

import numpy as np
import statsmodels.api as sm
from statsmodels.miscmodels.ordinal_model import OrderedModel

from refgen import chk, coefs, out, save

sys.path.insert(0, "..")
from zdata import zelta_data

# The data: mk_ordered1 of mkdata.do, made by zelta.
D = zelta_data("mk_ordered1")
yo, ym, x1, x2, g = (D[k] for k in ("yo", "ym", "x1", "x2", "g"))
n = len(yo)
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
