#!/usr/bin/python3
# Reference values for count.do from the data that zelta
# makes (mk_count1 of mkdata.do; $ZELTA or build/zelta): ref_count.do, `chk` lines against statsmodels'
# Poisson and negative binomial (mean dispersion) fits; the robust and
# cluster variances are sandwiches computed here from statsmodels' scores.
# Run with /usr/bin/python3 from this folder.
import sys

import numpy as np
import statsmodels.api as sm

from refgen import chk, coefs, out, sandwich, save

sys.path.insert(0, "..")
from zdata import zelta_data

# The data: mk_count1 of mkdata.do, made by zelta.
D = zelta_data("mk_count1")
y, x1, x2, t, g = (D[k] for k in ("y", "x1", "x2", "t", "g"))
n = len(y)
X = sm.add_constant(np.column_stack([x1, x2]), prepend=False)
nm = ["x1", "x2", "_cons"]

# Poisson without and with exposure; robust and cluster.
r = sm.Poisson(y, X).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
chk("ref_pois", coefs(nm, r.params, r.cov_params()) +
    ["e(ll) %.17g 1e-8" % r.llf, "e(ll_0) %.17g 1e-8" % r.llnull, "e(chi2) %.17g 1e-6" % r.llr])
r = sm.Poisson(y, X, exposure=t).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
r0 = sm.Poisson(y, np.ones((n, 1)), exposure=t).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
chk("ref_pois_exp", coefs(nm, r.params, r.cov_params()) +
    ["e(ll) %.17g 1e-8" % r.llf, "e(ll_0) %.17g 1e-8" % r0.llf])
S = r.model.score_obs(r.params)
H = -r.model.hessian(r.params)
chk("ref_pois_rob", coefs(nm, r.params, sandwich(H, S, n / (n - 1))))
G = np.unique(g)
Sc = np.array([S[g == k].sum(axis=0) for k in G])
chk("ref_pois_cl", coefs(nm, r.params, sandwich(H, Sc, len(G) / (len(G) - 1))))

# Negative binomial: statsmodels estimates alpha; at the optimum the
# standard error of ln(alpha) is se(alpha)/alpha.
rp = sm.Poisson(y, X, exposure=t).fit(method="newton", tol=1e-14, maxiter=100, disp=0)
r = sm.NegativeBinomial(y, X, exposure=t, loglike_method="nb2").fit(
    method="newton", tol=1e-14, maxiter=200, disp=0)
b = np.asarray(r.params)
V = np.asarray(r.cov_params())
alpha = b[-1]
L = coefs(nm, b[:3], V[:3, :3])
L.append("_b[lnalpha:_cons] %.17g 1e-6" % np.log(alpha))
L.append("_se[lnalpha:_cons] %.17g 1e-6" % (np.sqrt(V[3, 3]) / alpha))
L.append("e(alpha) %.17g 1e-6" % alpha)
L.append("e(ll) %.17g 1e-8" % r.llf)
r0 = sm.NegativeBinomial(y, np.ones((n, 1)), exposure=t, loglike_method="nb2").fit(
    method="newton", tol=1e-14, maxiter=200, disp=0)
L.append("e(ll_0) %.17g 1e-8" % r0.llf)
L.append("e(chi2_alpha) %.17g 1e-6" % (2 * (r.llf - rp.llf)))
chk("ref_nb", L)

save("ref_count.do", "gen_count.py")
