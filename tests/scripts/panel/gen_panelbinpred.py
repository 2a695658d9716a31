# Reference values for the predictions after panelprobit and panellogit in
# panelbin.do: from the coefficients of the reference fits with 60 points
# (ref_probit_exact and ref_logit_exact in ref_panelbin.do, which the test
# matches with intpoints(30)), for a few rows of the data
# of mk_panelbin1 (mkdata.do, made by zelta), the linear
# index, the probability with the effect at zero, and the probability
# averaged over the normal effect: the closed form for the probit, and
# scipy.integrate.quad of the logistic against the normal density for the
# logit. Writes ref_panelbinpred.do. Run with /usr/bin/python3 from this folder.
import re
import sys

import numpy as np
from scipy import integrate, special, stats

sys.path.insert(0, "..")
from zdata import zelta_data

rows = [1, 2, 60, 333, 700]
data = zelta_data("mk_panelbin1")
ref = open("ref_panelbin.do").read()


def coefs(prog):
    body = ref.split(f"program define {prog}\n")[1].split("end")[0]
    b = {m.group(1): float(m.group(2)) for m in re.finditer(r"chk _b\[([^\]]+)\] (\S+)", body)}
    return np.array([b["x1"], b["x2"], b["z"], b["_cons"]]), np.exp(b["lnsig2u:_cons"] / 2)


out = ["* Written by gen_panelbinpred.py: reference predictions (scipy). Do not edit."]
for kind, prog in (("probit", "ref_probit_exact"), ("logit", "ref_logit_exact")):
    b, s = coefs(prog)
    out.append(f"program define ref_pred_{kind}")
    for r in rows:
        i = r - 1
        xb = b[0] * data["x1"][i] + b[1] * data["x2"][i] + b[2] * data["z"][i] + b[3]
        if kind == "probit":
            p0 = stats.norm.cdf(xb)
            pm = stats.norm.cdf(xb / np.sqrt(1 + s * s))
        else:
            p0 = special.expit(xb)
            pm = integrate.quad(lambda z: special.expit(xb + s * z) * stats.norm.pdf(z), -np.inf, np.inf,
                                epsabs=1e-14, epsrel=1e-13)[0]
        out.append(f"\tchk xb[{r}] {xb!r} 1e-6")
        out.append(f"\tchk p0[{r}] {p0!r} 1e-6")
        out.append(f"\tchk pm[{r}] {pm!r} 1e-6")
    out.append("end")
open("ref_panelbinpred.do", "w").write("\n".join(out) + "\n")
