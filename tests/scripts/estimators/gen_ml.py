#!/usr/bin/python3
# Reference values for ml.do: likelihoods written as programs against fits
# by statsmodels on the data of mk_logit1 (mkdata.do, made by zelta): a probit, a probit
# with frequency weights (the data expanded by the weights) and a normal
# linear regression in (b, ln sigma), whose maximum-likelihood variance is
# sigma^2 (X'X)^-1 with sigma^2 = RSS/n and 1/(2n) for ln sigma. Run with
# /usr/bin/python3 from this folder; it rewrites ref_ml.do.
import sys

import numpy as np
import statsmodels.api as sm

from refgen import chk, coefs, save

sys.path.insert(0, "..")
from zdata import zelta_data

d = zelta_data("mk_logit1")
X = sm.add_constant(np.column_stack([d["x1"], d["x2"], d["x3"]]), prepend=False)
nm = ["x1", "x2", "x3", "_cons"]
r = sm.Probit(d["y"], X).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
chk("ref_mlprobit", coefs(nm, np.asarray(r.params), np.asarray(r.cov_params()), eq="y") + ["e(ll) %.17g 1e-8" % r.llf])

rep = d["f"].astype(int)
r = sm.Probit(np.repeat(d["y"], rep), np.repeat(X, rep, axis=0)).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
chk("ref_mlprobit_fw", coefs(nm, np.asarray(r.params), np.asarray(r.cov_params()), eq="y") +
    ["e(ll) %.17g 1e-8" % r.llf, "e(N) %d 0" % rep.sum()])

Z = sm.add_constant(np.column_stack([d["x1"], d["x2"]]), prepend=False)
r = sm.OLS(d["x3"], Z).fit()
n = len(d["x3"])
s2 = r.ssr / n
V = s2 * np.linalg.inv(Z.T @ Z)
L = coefs(["x1", "x2", "_cons"], np.asarray(r.params), V, eq="xb")
L += coefs(["_cons"], [0.5 * np.log(s2)], np.array([[1 / (2 * n)]]), eq="lnsigma")
L.append("e(ll) %.17g 1e-8" % r.llf)
chk("ref_mlreg", L)

save("ref_ml.do", "gen_ml.py")
