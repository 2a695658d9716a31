# Pieces shared by the reference generators of this folder: the `chk`
# programs of the reference do-files with their coefficient and standard-error
# lines, and the sandwich variance. Imported by gen_*.py, which are run from
# this folder.
import numpy as np

out = []  # the lines of the reference do-file being made


def chk(prog, lines):
    out.append("program define %s" % prog)
    out.extend("\tchk %s" % l for l in lines)
    out.append("end")


def coefs(names, b, V, tol="1e-6", eq=None):
    pre = "[%s]" % eq if eq else ""
    se = np.sqrt(np.diag(V))
    L = []
    for n, bi, si in zip(names, b, se):
        L.append("%s_b[%s] %.17g %s" % (pre, n, bi, tol))
        L.append("%s_se[%s] %.17g %s" % (pre, n, si, tol))
    return L


def sandwich(H, S, factor):
    Hi = np.linalg.inv(H)
    return Hi @ (S.T @ S) @ Hi * factor


def save(name, generator):
    with open(name, "w") as f:
        f.write("* Written by %s: reference values from statsmodels. Do not edit.\n" % generator)
        f.write("\n".join(out) + "\n")
