#!/usr/bin/env python3
"""Measures the pictures overlay draws. Runs overlay_picture.do (beside this
file) with the zelta binary given as the argument in a scratch folder, reads
each SVG back and checks what is drawn against the data: fitted lines through
an independent least-squares fit (numpy), the confidence band at the limits of
the mean, smooths through the values their own commands generate, markers at
their data, log axes, the panels of by(), and nothing outside the page or the
plot region. The data axes are recovered from the tick marks and tick labels
of each plot region, so the checks do not depend on the layout's numbers.

t quantiles (scipy.stats.t.ppf, stored so the test needs numpy only):
  t.ppf(0.975, 38) = 2.024394164575136   t.ppf(0.95, 38) = 1.6859544601667387
"""
import csv
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

import numpy as np

T975 = 2.024394164575136
T95 = 1.6859544601667387
NS = '{http://www.w3.org/2000/svg}'
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def parse_path(d):
    """Subpaths of a path as lists of (x, y); a zero-length mark is one point."""
    toks = re.findall(r'[MLZhC]|-?\d+(?:\.\d+)?', d)
    subs, cur, i = [], None, 0
    while i < len(toks):
        t = toks[i]
        if t == 'M':
            cur = [(float(toks[i + 1]), float(toks[i + 2]))]
            subs.append(cur)
            i += 3
        elif t == 'L':
            cur.append((float(toks[i + 1]), float(toks[i + 2])))
            i += 3
        elif t == 'C':
            cur.append((float(toks[i + 5]), float(toks[i + 6])))
            i += 7
        elif t == 'h':
            i += 2
        else:
            i += 1
    return subs


class Svg:
    def __init__(self, fn):
        self.fn = fn
        root = ET.parse(fn).getroot()
        vb = [float(v) for v in root.get('viewBox').split()]
        self.W, self.H = vb[2], vb[3]
        self.paths, self.texts = [], []
        for el in root.iter():
            if el.tag == NS + 'path' and el.get('d'):
                self.paths.append((el.get('fill'), el.get('stroke'), el.get('fill-opacity'),
                                   parse_path(el.get('d'))))
            elif el.tag == NS + 'text':
                self.texts.append((float(el.get('x')), float(el.get('y')),
                                   el.get('text-anchor') or 'start', el.text or ''))
        # plot regions: the white rectangles, top to bottom then left to right
        self.frames = []
        for fill, _, _, subs in self.paths:
            if fill == '#ffffff' and len(subs) == 1 and len(subs[0]) == 4:
                xs = [p[0] for p in subs[0]]
                ys = [p[1] for p in subs[0]]
                self.frames.append((min(xs), min(ys), max(xs), max(ys)))
        self.frames.sort(key=lambda f: (round(f[1]), f[0]))

    def points(self, fill=None, stroke=None, opacity=False, everywhere=False):
        """The subpaths of the paths of a colour (markers: each a one-point
        subpath) that touch a plot region (legend keys do not), or all."""
        def touches(sp):
            return any(f[0] - 1 <= x <= f[2] + 1 and f[1] - 1 <= y <= f[3] + 1 for f in self.frames for x, y in sp)
        out = []
        for f, s, op, subs in self.paths:
            if (fill is None or f == fill) and (stroke is None or s == stroke) and (not opacity or op):
                out.append([sp for sp in subs if everywhere or touches(sp)])
        return out

    def inside_page(self):
        bad = 0
        for _, _, _, subs in self.paths:
            for sp in subs:
                for x, y in sp:
                    bad += not (-0.01 <= x <= self.W + 0.01 and -0.01 <= y <= self.H + 0.01)
        for x, y, _, _ in self.texts:
            bad += not (0 <= x <= self.W and 0 <= y <= self.H)
        check(bad == 0, f'{self.fn}: {bad} coordinates outside the page')

    def axes(self, frame, xlog=False, ylog=False):
        """Maps from SVG coordinates to data for a plot region, from the tick
        marks at its edges and the numeric tick labels of the picture."""
        x0, y0, x1, y1 = frame
        xt, yt = [], []
        for f, s, _, subs in self.paths:
            if s != '#000000' or len(subs) != 1 or len(subs[0]) != 2:
                continue
            (ax, ay), (bx, by) = subs[0]
            if abs(ax - bx) < 0.01 and abs(ay - y1) < 0.6 and 2 < by - ay < 8 and x0 - 0.6 <= ax <= x1 + 0.6:
                xt.append(ax)
            if abs(ay - by) < 0.01 and abs(ax - x0) < 0.6 and 2 < ax - bx < 8 and y0 - 0.6 <= ay <= y1 + 0.6:
                yt.append(ay)
        xt.sort()
        yt.sort(reverse=True)

        def num(s):
            try:
                return float(s)
            except ValueError:
                return None
        xv = sorted({num(t) for x, y, a, t in self.texts if a == 'middle' and num(t) is not None
                     and y1 < y < y1 + 25 and x0 - 1 <= x <= x1 + 1})
        yv = sorted({num(t) for x, y, a, t in self.texts if a == 'end' and num(t) is not None
                     and y0 - 10 < y < y1 + 10})
        if not check(len(xt) == len(xv) >= 2 and len(yt) == len(yv) >= 2,
                     f'{self.fn}: ticks and labels do not pair ({len(xt)}/{len(xv)}, {len(yt)}/{len(yv)})'):
            return None
        fx = np.polyfit(xt, np.log10(xv) if xlog else xv, 1)
        fy = np.polyfit(yt, np.log10(yv) if ylog else yv, 1)

        def tox(px):
            v = np.polyval(fx, px)
            return 10 ** v if xlog else v

        def toy(py):
            v = np.polyval(fy, py)
            return 10 ** v if ylog else v
        return tox, toy


def data():
    n = np.arange(1, 41)
    x = n / 4
    y = 2 + 0.5 * x + 1.5 * np.sin(x)
    return n, x, y, np.exp(x / 2)


def line_points(svg, stroke):
    pts = [p for subs in svg.points(stroke=stroke) for sp in subs for p in sp]
    check(len(pts) >= 2, f'{svg.fn}: no line in {stroke}')
    return pts


def check_curve(svg, ax, stroke, fn, tol, what, span=None):
    """Every vertex of the line of colour stroke lies on fn; span: x it must cover."""
    tox, toy = ax
    pts = line_points(svg, stroke)
    xs = np.array([tox(p[0]) for p in pts])
    ys = np.array([toy(p[1]) for p in pts])
    err = np.max(np.abs(ys - fn(xs)))
    check(err < tol, f'{svg.fn}: {what} is off by {err:.4g} (tolerance {tol})')
    if span:
        check(xs.min() < span[0] + tol and xs.max() > span[1] - tol,
              f'{svg.fn}: {what} spans {xs.min():.3g}..{xs.max():.3g}, not {span}')


def marker_shapes(svg, colour):
    """The markers of a colour as (centre, width): a circle is a one-point
    subpath (its stroke's round cap), a filled symbol a small closed polygon
    (centre the mean of its corners), an x or a plus two crossing strokes
    (centre where they cross); the width is the extent across."""
    out, strokes = [], []
    for f, st, _, subs in svg.paths:
        if f == colour:
            for sp in subs:
                xs, ys = [p[0] for p in sp], [p[1] for p in sp]
                if 3 <= len(sp) <= 4 and max(xs) - min(xs) < 12 and max(ys) - min(ys) < 12:
                    out.append(((sum(xs) / len(sp), sum(ys) / len(sp)), max(xs) - min(xs)))
        elif st == colour:
            for sp in subs:
                if len(sp) == 1:
                    out.append((sp[0], 0.0))
                elif len(sp) == 2 and abs(sp[0][0] - sp[1][0]) < 12 and abs(sp[0][1] - sp[1][1]) < 12:
                    strokes.append(sp)
    # the strokes of one symbol come in pairs, one after the other
    for a, b in zip(strokes[0::2], strokes[1::2]):
        ca = ((a[0][0] + a[1][0]) / 2, (a[0][1] + a[1][1]) / 2)
        xs = [p[0] for p in a + b]
        out.append((ca, max(xs) - min(xs)))
    # legend keys lie outside the plot regions
    return [m for m in out if any(f[0] - 1 <= m[0][0] <= f[2] + 1 and f[1] - 1 <= m[0][1] <= f[3] + 1
                                  for f in svg.frames)]


def markers(svg, colour):
    return [c for c, _ in marker_shapes(svg, colour)]


def check_markers(svg, ax, colour, xd, yd, tolx, toly, what):
    tox, toy = ax
    got = sorted((round(float(tox(p[0])), 6), float(toy(p[1]))) for p in markers(svg, colour))
    want = sorted(zip(xd, yd))
    if not check(len(got) == len(want), f'{svg.fn}: {len(got)} {what} markers, {len(want)} expected'):
        return
    bad = sum(1 for (gx, gy), (wx, wy) in zip(got, want) if abs(gx - wx) > tolx or abs(gy - wy) > toly)
    check(bad == 0, f'{svg.fn}: {bad} {what} markers away from their data')


def within(svg, frame, pts, what):
    x0, y0, x1, y1 = frame
    bad = sum(1 for x, y in pts if not (x0 - 0.6 <= x <= x1 + 0.6 and y0 - 0.6 <= y <= y1 + 0.6))
    check(bad == 0, f'{svg.fn}: {bad} points of {what} outside the plot region')


def main():
    zelta = os.path.abspath(sys.argv[1])
    here = os.path.dirname(os.path.abspath(__file__))
    work = tempfile.mkdtemp(prefix='overlay_picture.')
    try:
        shutil.copy(os.path.join(here, 'overlay_picture.do'), work)
        r = subprocess.run([zelta, '-q', '-b', 'do', 'overlay_picture.do'], cwd=work,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=300)
        log = open(os.path.join(work, 'overlay_picture.log')).read()
        if r.returncode != 0 or re.search(r'^r\(\d+\);', log, re.M):
            print(log)
            print('the do-file failed')
            return 1
        os.chdir(work)
        run_checks()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print('FAIL:', f)
    return 1 if failures else 0


def run_checks():
    n, x, y, w = data()
    yr = y.max() - y.min()
    # linear and quadratic fits through their least-squares values
    s = Svg('fit.svg')
    ax = s.axes(s.frames[0])
    if ax:
        check_markers(s, ax, '#0000ff', x, y, 0.02, 0.01 * yr, 'scatter')
        b1 = np.polyfit(x, y, 1)
        check_curve(s, ax, '#ff0000', lambda v: np.polyval(b1, v), 0.006 * yr, 'linfit', (x.min(), x.max()))
        b2 = np.polyfit(x, y, 2)
        check_curve(s, ax, '#00a000', lambda v: np.polyval(b2, v), 0.006 * yr, 'quadfit', (x.min(), x.max()))
    # confidence band of the mean: every vertex on the lower or upper limit
    b1 = np.polyfit(x, y, 1)
    res = y - np.polyval(b1, x)
    sig = math.sqrt(res @ res / (len(x) - 2))
    sxx = ((x - x.mean()) ** 2).sum()
    for fn, t in (('ci.svg', T975), ('ci90.svg', T95)):
        s = Svg(fn)
        ax = s.axes(s.frames[0])
        if not ax:
            continue
        tox, toy = ax
        half = lambda v: t * sig * np.sqrt(1 / len(x) + (v - x.mean()) ** 2 / sxx)
        band = [p for subs in s.points(fill='#c800c8', opacity=True) for sp in subs for p in sp]
        check(len(band) >= 2 * len(x), f'{fn}: band has {len(band)} vertices')
        lo = hi = 0
        worst = 0
        for px, py in band:
            vx, vy = tox(px), toy(py)
            fit = np.polyval(b1, vx)
            d = min(abs(vy - (fit - half(vx))), abs(vy - (fit + half(vx))))
            worst = max(worst, d)
            lo += vy < fit
            hi += vy > fit
        check(worst < 0.006 * yr, f'{fn}: band vertex off its limit by {worst:.4g}')
        check(lo >= len(x) and hi >= len(x), f'{fn}: band sides {lo} below, {hi} above the fit')
        check_curve(s, ax, '#ff0000', lambda v: np.polyval(b1, v), 0.006 * yr, 'fitted line')
    # smooths through the values of lowess, generate() and kdens, generate()
    with open('smooth.csv') as f:
        rows = list(csv.DictReader(f))
    ls = np.array([float(r['ls']) for r in rows])
    kx = np.array([float(r['kx']) for r in rows if r['kx'] not in ('', '.')])
    kd = np.array([float(r['kd']) for r in rows if r['kd'] not in ('', '.')])
    s = Svg('lowess.svg')
    ax = s.axes(s.frames[0])
    if ax:
        check_curve(s, ax, '#ff0000', lambda v: np.interp(v, x, ls), 0.006 * yr, 'lowess line', (x.min(), x.max()))
    s = Svg('kdens.svg')
    ax = s.axes(s.frames[0])
    if ax:
        check_curve(s, ax, '#ff0000', lambda v: np.interp(v, kx, kd), 0.006 * kd.max(), 'density line',
                    (kx.min(), kx.max()))
    # a function of x over its range
    s = Svg('function.svg')
    ax = s.axes(s.frames[0])
    if ax:
        check_curve(s, ax, '#ff0000', lambda v: 10 * np.exp(-v / 3), 0.03, 'function', (0, 10))
    # log scales: markers where the logarithms put them
    s = Svg('ylog.svg')
    ax = s.axes(s.frames[0], ylog=True)
    if ax:
        tox, toy = ax
        got = sorted((float(tox(p[0])), float(toy(p[1]))) for p in markers(s, '#0000ff'))
        check(len(got) == len(x), f'ylog.svg: {len(got)} markers')
        bad = sum(1 for (gx, gy), wx, wy in zip(got, x, w) if abs(gx - wx) > 0.02 or abs(gy / wy - 1) > 0.01)
        check(bad == 0, f'ylog.svg: {bad} markers off their data')
    s = Svg('xylog.svg')
    ax = s.axes(s.frames[0], xlog=True, ylog=True)
    if ax:
        tox, toy = ax
        got = sorted((float(tox(p[0])), float(toy(p[1]))) for p in markers(s, '#0000ff'))
        want = sorted(zip(y, w))
        bad = sum(1 for (gx, gy), (wx, wy) in zip(got, want) if abs(gx / wx - 1) > 0.01 or abs(gy / wy - 1) > 0.01)
        check(len(got) == len(want) and bad == 0, f'xylog.svg: {bad} of {len(got)} markers off their data')
    # by(): one panel per group with its label, each with the group's markers
    s = Svg('by.svg')
    check(len(s.frames) == 5, f'by.svg: {len(s.frames)} panels, 5 expected')
    labs = {t for _, _, _, t in s.texts}
    check({'zero', 'one', 'two', 'three', 'four'} <= labs, 'by.svg: panel labels missing')
    ms = markers(s, '#0000ff')
    for k, fr in enumerate(s.frames):
        inside = [p for p in ms if fr[0] - 0.6 <= p[0] <= fr[2] + 0.6 and fr[1] - 0.6 <= p[1] <= fr[3] + 0.6]
        check(len(inside) == 8, f'by.svg: panel {k + 1} holds {len(inside)} markers, 8 expected')
    # ranges: what falls outside is clipped at the plot region
    s = Svg('clip.svg')
    fr = s.frames[0]
    ax = s.axes(fr)
    within(s, fr, [p for subs in s.points(stroke='#ff0000', everywhere=True) for sp in subs for p in sp], 'the line')
    within(s, fr, markers(s, '#0000ff'), 'the markers')
    if ax:
        keep = (x >= 2) & (x <= 6) & (y >= 1) & (y <= 4)
        check_markers(s, ax, '#0000ff', x[keep], y[keep], 0.02, 0.01 * yr, 'clipped')
        check_curve(s, ax, '#ff0000', lambda v: np.interp(v, x, y), 0.01 * yr, 'clipped line')
    # bars reach their values; capped ranges span lo to hi
    s = Svg('bar.svg')
    fr = s.frames[0]
    ax = s.axes(fr)
    if ax:
        tox, toy = ax
        keep = x <= 5
        tops = []
        for subs in s.points(fill='#0000ff'):
            for sp in subs:
                if len(sp) == 4:
                    xs = [p[0] for p in sp]
                    ys = [p[1] for p in sp]
                    tops.append((float(tox((min(xs) + max(xs)) / 2)), float(toy(min(ys))), float(toy(max(ys)))))
        tops.sort()
        check(len(tops) == keep.sum(), f'bar.svg: {len(tops)} bars, {keep.sum()} expected')
        bad = sum(1 for (bx, top, base), vx, vy in zip(tops, x[keep], y[keep])
                  if abs(bx - vx) > 0.02 or abs(top - vy) > 0.01 * yr or abs(base) > 0.01 * yr)
        check(bad == 0, f'bar.svg: {bad} bars off their values')
        segs = [sp for subs in s.points(stroke='#ff0000') for sp in subs if len(sp) == 2]
        vert = sorted((float(tox(a[0])), float(toy(b[1])), float(toy(a[1]))) for a, b in segs if abs(a[0] - b[0]) < 0.01)
        check(len(vert) == keep.sum(), f'bar.svg: {len(vert)} range lines, {keep.sum()} expected')
        bad = sum(1 for (vx, top, bot), wx, wy in zip(vert, x[keep], y[keep])
                  if abs(vx - wx) > 0.02 or abs(max(top, bot) - (wy + 1)) > 0.01 * yr
                  or abs(min(top, bot) - (wy - 1)) > 0.01 * yr)
        check(bad == 0, f'bar.svg: {bad} range lines off lo..hi')
        check('note' in {t for _, _, _, t in s.texts}, 'bar.svg: text() annotation missing')
        ref = [sp for subs in s.points(stroke='#808080') for sp in subs if len(sp) == 2]
        check(len(ref) == 1 and abs(toy(ref[0][0][1]) - 3) < 0.01 * yr and abs(ref[0][0][1] - ref[0][1][1]) < 0.01
              and abs(ref[0][0][0] - fr[0]) < 0.6 and abs(ref[0][1][0] - fr[2]) < 0.6,
              'bar.svg: yline(3) not across the plot region at 3')
        check(abs((fr[3] - fr[1]) / (fr[2] - fr[0]) - 1) < 0.01, 'bar.svg: aspect(1) not square')
    s = Svg('area.svg')
    fr = s.frames[0]
    area = [p for subs in s.points(fill='#0000ff', opacity=True) for sp in subs for p in sp]
    check(len(area) >= len(x), f'area.svg: area has {len(area)} vertices')
    within(s, fr, area, 'the area')
    nlab = sum(1 for _, _, _, t in s.texts if t in ('zero', 'one', 'two', 'three', 'four'))
    check(nlab == len(x) + 0, f'area.svg: {nlab} marker labels, {len(x)} expected')
    check(max(t[0] for t in s.texts) > fr[2], 'area.svg: legend not right of the plot')
    # value labels as tick labels, under their tick marks; one group still has its title
    s = Svg('ticks.svg')
    fr = s.frames[0]
    labs = {t: x for x, y, a, t in s.texts if a == 'middle' and fr[3] < y < fr[3] + 25}
    check(set(labs) == {'zero', 'one', 'two', 'three', 'four'}, f'ticks.svg: tick labels {sorted(labs)}')
    check('all' in {t for _, _, _, t in s.texts}, 'ticks.svg: the panel title of by() missing')
    if set(labs) == {'zero', 'one', 'two', 'three', 'four'}:
        xs = [labs[k] for k in ('zero', 'one', 'two', 'three', 'four')]
        steps = np.diff(xs)
        check(np.all(steps > 0) and np.ptp(steps) < 0.05, 'ticks.svg: tick labels not evenly spaced in order')
        ref = [sp for subs in s.points(stroke='#808080') for sp in subs if len(sp) == 2]
        check(len(ref) == 1 and abs(ref[0][0][0] - xs[2]) < 0.05, 'ticks.svg: xline(2) not at the tick of two')
    # symbol() and size() per series: each series at its data in its own shape,
    # size(2) twice as wide as size(1); yticks() labels exactly the values asked
    s = Svg('symbols.svg')
    fr = s.frames[0]
    ax = s.axes(fr)
    if ax:
        keep = x <= 5
        widths = {}
        for colour, sym, ys in (('#0000ff', 'diamond', y), ('#ff0000', 'x', y + 1), ('#00a000', 'square', y - 1),
                                ('#ff00ff', 'square', y + 2), ('#ffa000', 'x', y + 3)):
            check_markers(s, ax, colour, x[keep], ys[keep], 0.02, 0.01 * yr, sym)
            ws = [wd for _, wd in marker_shapes(s, colour)]
            widths[colour] = (min(ws), max(ws)) if ws else (0, 1)
        check(all(w[1] - w[0] < 0.05 for w in widths.values()), f'symbols.svg: sizes vary within a series {widths}')
        check(abs(widths['#00a000'][0] / widths['#ff00ff'][0] - 2) < 0.05
              and abs(widths['#ffa000'][0] / widths['#ff0000'][0] - 2) < 0.05,
              f'symbols.svg: marker widths {widths} not in the ratio of size()')
        # a diamond stands on a corner, a square on a side; an x crosses diagonally
        shape = {}
        for f, st, _, subs in s.paths:
            for sp in subs:
                if f in ('#0000ff', '#00a000') and len(sp) == 4:
                    shape.setdefault(f, set()).add('diamond' if abs(sp[0][0] - sp[2][0]) < 0.02 else 'square')
                if st == '#ff0000' and len(sp) == 2:
                    shape.setdefault(st, set()).add('x' if abs(sp[0][0] - sp[1][0]) > 0.5 and abs(sp[0][1] - sp[1][1]) > 0.5 else 'plus')
        check(shape == {'#0000ff': {'diamond'}, '#00a000': {'square'}, '#ff0000': {'x'}},
              f'symbols.svg: shapes drawn {shape}')
        yl = sorted(float(t) for x_, y_, a, t in s.texts if a == 'end' and re.fullmatch(r'-?[\d.]+', t))
        check(yl == [1.0, 2.5, 4.0, 5.5], f'symbols.svg: y tick labels {yl}')
    for fn in sorted(f for f in os.listdir('.') if f.endswith('.svg')):
        Svg(fn).inside_page()


if __name__ == '__main__':
    sys.exit(main())
