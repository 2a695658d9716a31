#!/usr/bin/python3
# Reference figures for regchunks.do: the same data made from the
# observation number, fitted by statsmodels (ordinary, aweighted, sampling
# weights, robust) and by the normal equations for frequency weights.
# Prints the lines that regchunks.do holds between its "reference" markers.
import numpy as np
import statsmodels.api as sm

N = 2**18 + 1
n = np.arange(1, N + 1, dtype=float)
x1 = np.mod(n * 7919, 10007) / 1000
x2 = np.mod(n * 104729, 9973) / 997 + x1 / 3
x3 = np.mod(n * n, 1009) / 100
y = 1 + 0.5 * x1 - 0.25 * x2 + 2 * x3 + np.mod(n * 31337, 1013) / 1013 - 0.5
x2[np.mod(n, 101) == 0] = np.nan
y[np.mod(n, 257) == 0] = np.nan
w = 1 + np.mod(n, 5)
X = sm.add_constant(np.column_stack([x1, x2, x3]), prepend=False)
ok = ~np.isnan(y) & ~np.isnan(x2)


def show(tag, b, se, extra):
    print(f"* {tag}")
    names = ["x1", "x2", "x3", "_cons"]
    for nm, bv, sv in zip(names, b, se):
        print(f"assert reldif(_b[{nm}], {bv:.17g}) < 1e-10")
        print(f"assert reldif(_se[{nm}], {sv:.17g}) < 1e-8")
    for k, v in extra.items():
        print(f"assert reldif(e({k}), {v:.17g}) < 1e-10")


def ols(sel, tag, cov="nonrobust"):
    r = sm.OLS(y[sel], X[sel]).fit(cov_type=cov)
    extra = {"N": r.nobs, "r2": r.rsquared}
    if cov == "nonrobust":
        extra["rmse"] = np.sqrt(r.mse_resid)
    show(tag, r.params, r.bse, extra)


ols(ok, "all 2^18 + 1 observations")
ols(ok & (n >= 2) & (n <= 2**18), "in 2/262144: 2^18 - 1 observations")
ols(ok & (np.mod(n, 3) != 0), "if mod(_n, 3) != 0")
ols(ok, "robust", "HC1")
ols(ok, "hc3", "HC3")
r = sm.WLS(y[ok], X[ok], weights=w[ok]).fit()
show("aweights", r.params, r.bse, {"N": r.nobs, "r2": r.rsquared})
r = sm.WLS(y[ok], X[ok], weights=w[ok]).fit(cov_type="HC1")
show("pweights", r.params, r.bse, {"N": r.nobs})
# frequency weights: each observation counted w times
Xo, yo, wo = X[ok], y[ok], w[ok]
A = Xo.T @ (wo[:, None] * Xo)
b = np.linalg.solve(A, Xo.T @ (wo * yo))
e = yo - Xo @ b
Nf = wo.sum()
s2 = (wo * e * e).sum() / (Nf - 4)
se = np.sqrt(np.diag(s2 * np.linalg.inv(A)))
show("fweights", b, se, {"N": Nf, "rmse": np.sqrt(s2)})
