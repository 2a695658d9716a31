# The data of a reference generator, made by the built zelta itself: the
# generator names a program of its folder's mkdata.do (the test runs the same
# program), or gives the commands that load the data (mkdata=None); zelta runs
# them and writes the data to a temporary CSV, and the generator reads it back. The zelta binary is $ZELTA, or build/zelta of
# this checkout.
import os
import subprocess
import tempfile

import numpy as np

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


def zelta_data(prog, mkdata="mkdata.do"):
    zelta = os.environ.get("ZELTA", os.path.join(ROOT, "build", "zelta"))
    pre = 'run "%s"\n' % os.path.abspath(mkdata) if mkdata else ""
    with tempfile.TemporaryDirectory() as tmp:
        with open(os.path.join(tmp, "z.do"), "w") as f:
            f.write('%s%s\noutsheet using z.csv, comma replace\n' % (pre, prog))
        subprocess.run([zelta, "-q", "-b", "do", "z.do"], cwd=tmp, check=True,
                       stdout=subprocess.DEVNULL)
        if not os.path.exists(os.path.join(tmp, "z.csv")):
            raise SystemExit(open(os.path.join(tmp, "z.log")).read())
        d = np.genfromtxt(os.path.join(tmp, "z.csv"), delimiter=",", names=True)
    return {k: np.asarray(d[k], dtype=float) for k in d.dtype.names}
