#!/usr/bin/python3
# Reference values for logit.do and probit fits: ref_logit.do, a file of
# `chk` lines against fits by statsmodels; robust and cluster variances are sandwiches computed
# here from statsmodels' fitted values. The data sets are made by zelta
# itself (mkdata.do; $ZELTA or build/zelta). Run with /usr/bin/python3 from
# this folder; it rewrites ref_logit.do.
import sys

import numpy as np
import statsmodels.api as sm

from refgen import chk, coefs, out, sandwich, save

sys.path.insert(0, "..")
from zdata import zelta_data

def fitlines(names, res, V=None, chi2=None):
    V = res.cov_params() if V is None else V
    L = coefs(names, np.asarray(res.params), np.asarray(V))
    L.append("e(ll) %.17g 1e-8" % res.llf)
    L.append("e(ll_0) %.17g 1e-8" % res.llnull)
    L.append("e(r2_p) %.17g 1e-7" % res.prsquared)
    L.append("e(chi2) %.17g 1e-6" % (res.llr if chi2 is None else chi2))
    return L


# Data set 1 (mk_logit1): 300 observations, a continuous, a binary and a
# count regressor, 15 clusters, frequency and sampling weights and an offset.
d1 = zelta_data("mk_logit1")
y, x1, x2, x3, g, off, f, pw = (d1[k] for k in ("y", "x1", "x2", "x3", "g", "off", "f", "pw"))
n = len(y)
X = sm.add_constant(np.column_stack([x1, x2, x3]), prepend=False)
nm = ["x1", "x2", "x3", "_cons"]

for prog, model in (("ref_logit1", sm.Logit), ("ref_probit1", sm.Probit)):
    r = model(y, X).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
    chk(prog, fitlines(nm, r))
    # robust: the sandwich times N/(N-1)
    S = r.model.score_obs(r.params)
    H = -r.model.hessian(r.params)
    Vr = sandwich(H, S, n / (n - 1))
    b = np.asarray(r.params)
    wald = b[:3] @ np.linalg.inv(Vr[:3, :3]) @ b[:3]
    chk(prog + "_rob", fitlines(nm, r, Vr, wald))
    # cluster: scores summed by cluster, times G/(G-1)
    G = np.unique(g)
    Sc = np.array([S[g == k].sum(axis=0) for k in G])
    Vc = sandwich(H, Sc, len(G) / (len(G) - 1))
    wald = b[:3] @ np.linalg.inv(Vc[:3, :3]) @ b[:3]
    chk(prog + "_cl", fitlines(nm, r, Vc, wald))

# No constant.
r = sm.Logit(y, np.column_stack([x1, x2, x3])).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
L = coefs(["x1", "x2", "x3"], np.asarray(r.params), np.asarray(r.cov_params()))
L.append("e(ll) %.17g 1e-8" % r.llf)
chk("ref_logit_nocons", L)

# Frequency weights: the same as the expanded data.
ye = np.repeat(y, f.astype(int))
Xe = np.repeat(X, f.astype(int), axis=0)
r = sm.Logit(ye, Xe).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
chk("ref_logit_fw", fitlines(nm, r) + ["e(N) %d 0" % len(ye)])
# ... and robust with frequency weights: each replicate counts.
S = r.model.score_obs(r.params)
H = -r.model.hessian(r.params)
Vr = sandwich(H, S, len(ye) / (len(ye) - 1))
chk("ref_logit_fwrob", coefs(nm, np.asarray(r.params), Vr))

# Sampling weights: the weighted likelihood, the sandwich of weighted scores.
r = sm.GLM(y, X, family=sm.families.Binomial(), freq_weights=pw).fit(tol=1e-14, maxiter=100)
b = np.asarray(r.params)
p = 1 / (1 + np.exp(-X @ b))
S = (pw * (y - p))[:, None] * X
H = (X * (pw * p * (1 - p))[:, None]).T @ X
Vp = sandwich(H, S, n / (n - 1))
llp = np.sum(pw * (y * np.log(p) + (1 - y) * np.log(1 - p)))
chk("ref_logit_pw", coefs(nm, b, Vp) + ["e(ll) %.17g 1e-8" % llp])

# Offset.
bin_ = sm.families.Binomial()
r = sm.GLM(y, X, family=bin_, offset=off).fit(tol=1e-14, maxiter=100)
L = coefs(nm, np.asarray(r.params), np.asarray(r.cov_params()))
L.append("e(ll) %.17g 1e-8" % r.llf)
r0 = sm.GLM(y, np.ones((n, 1)), family=bin_, offset=off).fit(tol=1e-14, maxiter=100)
L.append("e(ll_0) %.17g 1e-8" % r0.llf)
chk("ref_logit_off", L)

# Data set 2: rare events, 4000 observations with about 1.5% successes, made
# by mk_logit2 of mkdata.do.
d2 = zelta_data("mk_logit2")
n2, z1, z2, yr = len(d2["y"]), d2["z1"], d2["z2"], d2["y"]
Z = sm.add_constant(np.column_stack([z1, z2]), prepend=False)
for prog, model in (("ref_logit_rare", sm.Logit), ("ref_probit_rare", sm.Probit)):
    r = model(yr, Z).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
    chk(prog, fitlines(["z1", "z2", "_cons"], r) + ["e(N) %d 0" % n2])
out.insert(0, "* rare events data: %d successes of %d" % (int(yr.sum()), n2))

# Data set 3 (mk_logit3): perfect prediction. d = 1 always a success; the fit
# uses the observations with d = 0 and leaves d out.
d3 = zelta_data("mk_logit3")
w1, d, yp = d3["w1"], d3["d"], d3["y"]
keep = d == 0
W = sm.add_constant(w1[keep][:, None], prepend=False)
r = sm.Logit(yp[keep], W).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
chk("ref_logit_perfect", fitlines(["w1", "_cons"], r) + ["e(N) %d 0" % keep.sum()])
out.insert(0, "* perfect prediction data: d == 1 in %d observations" % int(d.sum()))

save("ref_logit.do", "gen_logit.py")
