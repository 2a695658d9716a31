#!/usr/bin/python3
"""Writes the data and the expected bin counts of histogram.do.

The counts are made here, independently of the histogram command, with
numpy.histogram over edges built from the rules the help states: Sturges'
ceil(log2 N) + 1 bins from the minimum to the maximum; width() bins from
start(); discrete bins of the smallest gap centred on the values.  numpy's
bins are closed on the left and its last bin on both sides, as the
command's are.  Run it in this folder: it writes hist_x.csv and hist_c.csv and prints
the matrices to paste into histogram.do.
"""
import math

import numpy as np

rng = np.random.default_rng(20261207)
# a skewed mixture, on a grid of 0.25 so that many values sit on bin edges
x = np.concatenate([rng.normal(0, 1, 140), rng.normal(2.5, 0.6, 60)])
x = np.round(x * 4) / 4
# counts for the discrete and weighted cases
c = rng.poisson(3, 60).astype(float)
fw = rng.integers(1, 4, 60)

# the data go to two files beside the test
with open('hist_x.csv', 'w') as f:
    f.write('x\n' + ''.join('%g\n' % v for v in x))
with open('hist_c.csv', 'w') as f:
    f.write('c,fw\n' + ''.join('%g,%d\n' % (a, b) for a, b in zip(c, fw)))


def show(name, counts):
    print('matrix %s = (%s)' % (name, ' \\ '.join('%d' % v for v in counts)))


# 1. Sturges' bins
n = len(x)
k = math.ceil(math.log2(n)) + 1
edges = x.min() + np.arange(k + 1) * ((x.max() - x.min()) / k)
edges[-1] = max(edges[-1], x.max())
show('sturges', np.histogram(x, bins=edges)[0])
print('* k = %d, width = %.17g' % (k, (x.max() - x.min()) / k))

# 2. width(0.5) start(-3): bins [-3, -2.5), [-2.5, -2), ...; values on the edges go right
w, s = 0.5, -3.0
k = max(1, math.ceil((x.max() - s) / w))
edges = s + np.arange(k + 1) * w
show('width', np.histogram(x, bins=edges)[0])
print('* k = %d' % k)

# 3. discrete counts of c with frequency weights: one bin per integer from min to max
vals = np.arange(c.min(), c.max() + 1)
edges = np.append(vals - 0.5, c.max() + 0.5)
show('discrete', np.histogram(c, bins=edges, weights=fw)[0])
print('* k = %d, N = %d' % (len(vals), fw.sum()))
