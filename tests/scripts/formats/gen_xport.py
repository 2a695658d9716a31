"""Writes ours_pandas.do and formats_pandas.do: asserts of the values that
pandas' read_sas reads from ours.xpt and formats.xpf (written by
xpt_make.do). Run with /usr/bin/python3 from this folder."""
import math
import pandas as pd


def asserts(path, out, header):
    df = pd.read_sas(path, format="xport", encoding="latin1")
    lines = [header]
    for name in df.columns:
        for i, v in enumerate(df[name], start=1):
            n = name
            if isinstance(v, str):
                lines.append('assert %s[%d] == `"%s"\'' % (n, i, v))
            elif v is None or math.isnan(v):
                lines.append("assert missing(%s[%d])" % (n, i))
            else:
                # pandas 1.5 reads an IBM zero as 16^-65, the smallest
                # magnitude (its conversion has no case for zero): that
                # reading stands for zero, which ours.xpt holds instead.
                v = 0.0 if v == 16.0 ** -65 else float(v)
                lines.append("assert %s[%d] == %s" % (n, i, repr(v)))
    open(out, "w").write("\n".join(lines) + "\n")


asserts("ours.xpt", "ours_pandas.do", "* ours.xpt as pandas.read_sas reads it (gen_xport.py).")
asserts("formats.xpf", "formats_pandas.do", "* formats.xpf as pandas.read_sas reads it (gen_xport.py).")
