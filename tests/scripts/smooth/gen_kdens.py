# Reference values for kdens.do: kdens1.csv holds the sample (x, w), the
# evaluation points t, and the density at t by each kernel, summed directly
# over the sample with numpy (the kernels on [-1, 1], the gaussian with
# standard deviation h), with and without weights; gx, gd are the 25-point
# grid from the minimum to the maximum and the gaussian, Epanechnikov and weighted biweight densities there, the
# gaussian also checked against scipy.stats.gaussian_kde.
# Run with /usr/bin/python3 from this folder.
import numpy as np
from scipy.stats import gaussian_kde

rng = np.random.default_rng(35)
n = 200
x = np.round(np.concatenate([rng.normal(0, 1, 150), rng.normal(3, 0.5, 50)]) * 64) / 64
w = rng.integers(1, 4, n).astype(float)
t = np.round(np.linspace(-3.2, 4.6, 40) * 64) / 64 + 1 / 1024

def K(name, u):
    a = np.abs(u)
    inside = a <= 1
    if name == "gaussian":
        return np.exp(-0.5 * u * u) / np.sqrt(2 * np.pi)
    if name == "epanechnikov":
        v = 0.75 * (1 - u * u)
    elif name == "biweight":
        v = 15 / 16 * (1 - u * u) ** 2
    elif name == "triangle":
        v = 1 - a
    elif name == "rectangle":
        v = np.full_like(u, 0.5)
    elif name == "cosine":
        v = np.pi / 4 * np.cos(np.pi / 2 * u)
    elif name == "parzen":
        v = np.where(a <= 0.5, 4 / 3 - 8 * u * u + 8 * a ** 3, 8 / 3 * (1 - a) ** 3)
    return np.where(inside, v, 0.0)

def dens(name, pts, h, wt):
    u = (pts[:, None] - x[None, :]) / h
    return (K(name, u) * wt[None, :]).sum(axis=1) / (h * wt.sum())

h = 0.37
cols = {"x": x, "w": w}
full = lambda v: np.concatenate([v, np.full(n - len(v), np.nan)])
cols["t"] = full(t)
ones = np.ones(n)
for k in ["epanechnikov", "gaussian", "biweight", "triangle", "rectangle", "cosine", "parzen"]:
    cols["r_" + k[:4]] = full(dens(k, t, h, ones))
cols["rw_epan"] = full(dens("epanechnikov", t, h, w))
cols["rw_gaus"] = full(dens("gaussian", t, h, w))
gx = np.linspace(x.min(), x.max(), 25)
cols["gx"] = full(gx)
cols["gd"] = full(dens("gaussian", gx, h, ones))
cols["gde"] = full(dens("epanechnikov", gx, h, ones))
cols["gdb"] = full(dens("biweight", gx, h, w))
# scipy's gaussian_kde: the factor is h over the sample standard deviation
kde = gaussian_kde(x, bw_method=h / np.std(x, ddof=1))
assert np.allclose(kde(gx), cols["gd"][:25], rtol=1e-12, atol=0)
names = list(cols)
with open("kdens1.csv", "w") as f:
    f.write(",".join(names) + "\n")
    for i in range(n):
        f.write(",".join("" if np.isnan(cols[c][i]) else repr(float(cols[c][i])) for c in names) + "\n")
