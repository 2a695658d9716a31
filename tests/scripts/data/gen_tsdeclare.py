# Expected values for tsdeclare.do: lags, leads and differences of the example
# firm panel computed by reindexing each firm on its full run of years (so a
# gap gives a missing value) and shifting within the firm.
# The example panel is read from zelta itself ($ZELTA or build/zelta).
# Run with /usr/bin/python3 gen_tsdeclare.py; the output is pasted into
# tsdeclare.do.
import sys

import numpy as np
import pandas as pd

sys.path.insert(0, "..")
from zdata import zelta_data

d = pd.DataFrame(zelta_data("use firms, example clear", mkdata=None))
d = d.astype({"id": int, "year": int}).sort_values(["id", "year"])
full = d.set_index(["id", "year"])
years = range(d.year.min(), d.year.max() + 1)
grid = full.reindex(pd.MultiIndex.from_product([sorted(d.id.unique()), years], names=["id", "year"]))
g = grid.groupby(level="id")
ops = {
    "L.sales": g.sales.shift(1),
    "F.sales": g.sales.shift(-1),
    "D.sales": grid.sales - g.sales.shift(1),
    "L2.sales": g.sales.shift(2),
    "S2.sales": grid.sales - g.sales.shift(2),
    "D2.staff": (grid.staff - g.staff.shift(1)) - (g.staff.shift(1) - g.staff.shift(2)),
    "L3.staff": g.staff.shift(3),
    "F2.staff": g.staff.shift(-2),
}
for name, s in ops.items():
    v = s.reindex(full.index).dropna()
    print(f"{name}: N={len(v)} sum={v.sum():.10g}")
# panels and gaps
spans = d.groupby("id").year.agg(["min", "max", "count"])
gapped = spans[spans["count"] != spans["max"] - spans["min"] + 1]
print("panels", len(spans), "gapped", len(gapped), "full", int(((spans["min"] == 2000) & (spans["max"] == 2009) & (spans["count"] == 10)).sum()))
# sales on its lag and staff, on the observations where all three exist
x = pd.DataFrame({"y": full.sales, "l": ops["L.sales"].reindex(full.index), "s": full.staff}).dropna()
X = np.column_stack([x.l, x.s, np.ones(len(x))])
b = np.linalg.lstsq(X, x.y, rcond=None)[0]
print(f"regress N={len(x)} b_l={b[0]:.10g} b_s={b[1]:.10g} b_c={b[2]:.10g}")
