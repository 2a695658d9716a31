#!/usr/bin/python3
"""Reads a chart back from its SVG file, as a person would read the picture.

    svgcheck.py MODE file.svg [out.csv]

Every mode first checks that nothing is drawn outside the picture: each path
point, and the box of each text (its width estimated from the font size), lies
inside the view box; and that no two upright texts overlap.  It prints
"bounds ok" or one line per offence.

The axes are read from the picture itself: the tick marks along the plot
region's left and bottom edges, paired with the numeric labels beside them,
give a straight line from picture coordinates to data units for each axis.

  bars   filled rectangles in the plot region: x0,x1,y0,y1,fill in data units
         (an axis without numeric ticks, such as categories, stays in points)
  boxes  box plots: for each box its position, p25, median, p75, the whisker
         ends and how many markers lie beyond them (vertical boxes; hboxes for
         horizontal ones)
  pie    slices in drawing order: fill,share (the slice's angle over 360)
  dots   markers in the plot region: x,y in data units, as bars
  lines  the points of each polyline (three points or more): color,x,y
The rows go to out.csv (with a header line) when it is given, else to stdout.
Only the standard library is used.
"""
import math
import re
import sys
import xml.etree.ElementTree as ET

NS = '{http://www.w3.org/2000/svg}'
TOL = 0.6  # points: half a stroke, and the two-decimal rounding of coordinates


def parse_path(d):
    """Subpaths of an SVG path as lists of (x, y); 'h0' dots are one point."""
    subs, cur, pen = [], None, (0.0, 0.0)
    toks = re.findall(r'[MLCZh]|-?\d*\.?\d+(?:e[-+]?\d+)?', d)
    i = 0
    while i < len(toks):
        t = toks[i]
        if t == 'M':
            cur = [(float(toks[i + 1]), float(toks[i + 2]))]
            subs.append(cur)
            pen = cur[0]
            i += 3
        elif t == 'L':
            pen = (float(toks[i + 1]), float(toks[i + 2]))
            cur.append(pen)
            i += 3
        elif t == 'C':
            pts = [(float(toks[i + k]), float(toks[i + k + 1])) for k in (1, 3, 5)]
            cur.append(('C',) + tuple(pts))
            pen = pts[2]
            i += 7
        elif t == 'h':
            i += 2
        elif t == 'Z':
            i += 1
        else:
            i += 1
    return subs


def points(sub):
    for p in sub:
        if p[0] == 'C':
            yield from p[1:]
        else:
            yield p


def load(fn):
    root = ET.parse(fn).getroot()
    vb = [float(v) for v in root.get('viewBox').split()]
    paths, texts = [], []
    for e in root.iter():
        if e.tag == NS + 'path' and e.get('d'):
            paths.append({'fill': e.get('fill', 'none'), 'stroke': e.get('stroke'),
                          'sw': float(e.get('stroke-width', '0')), 'subs': parse_path(e.get('d'))})
        elif e.tag == NS + 'text':
            rot = 0.0
            m = re.match(r'rotate\((-?[\d.]+)', e.get('transform', ''))
            if m:
                rot = float(m.group(1))
            texts.append({'x': float(e.get('x')), 'y': float(e.get('y')), 'size': float(e.get('font-size')),
                          'anchor': e.get('text-anchor', 'start'), 'rot': rot, 's': e.text or ''})
    return vb[2], vb[3], paths, texts


def textbox(t):
    """Corners of a text's box: width 0.55 em a character, 0.8 em above the baseline."""
    w = 0.55 * t['size'] * len(t['s'])
    x0 = {'start': 0, 'middle': -w / 2, 'end': -w}[t['anchor']]
    corners = [(x0, -0.8 * t['size']), (x0 + w, -0.8 * t['size']), (x0 + w, 0.25 * t['size']), (x0, 0.25 * t['size'])]
    a = math.radians(t['rot'])
    return [(t['x'] + cx * math.cos(a) - cy * math.sin(a), t['y'] + cx * math.sin(a) + cy * math.cos(a)) for cx, cy in corners]


def check_bounds(W, H, paths, texts):
    bad = []
    for p in paths:
        for s in p['subs']:
            for x, y in points(s):
                if x < -TOL or x > W + TOL or y < -TOL or y > H + TOL:
                    bad.append('path point %.2f %.2f outside %g by %g' % (x, y, W, H))
    for t in texts:
        for x, y in textbox(t):
            if x < -TOL or x > W + TOL or y < -TOL or y > H + TOL:
                bad.append('text "%s" reaches %.2f %.2f outside %g by %g' % (t['s'], x, y, W, H))
                break
    # no two texts overlap: their boxes, a little smaller than estimated, are
    # compared when both are upright
    boxes = []
    for t in texts:
        if t['rot'] or not t['s'].strip():
            continue
        c = textbox(t)
        xs, ys = [p[0] for p in c], [p[1] for p in c]
        boxes.append((min(xs) + 0.5, min(ys) + 0.5, max(xs) - 0.5, max(ys) - 0.5, t['s']))
    for i, a in enumerate(boxes):
        for b in boxes[i + 1:]:
            if a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]:
                bad.append('texts "%s" and "%s" overlap' % (a[4], b[4]))
    print('\n'.join(bad[:10]) if bad else 'bounds ok')


def rect_of(sub):
    """(x0, y0, x1, y1) of an axis-aligned rectangle subpath, else None."""
    pts = list(points(sub))
    if len(pts) != 4 or any(p[0] == 'C' for p in sub):
        return None
    xs, ys = sorted({round(p[0], 2) for p in pts}), sorted({round(p[1], 2) for p in pts})
    if len(xs) > 2 or len(ys) > 2:
        return None
    return (xs[0], ys[0], xs[-1], ys[-1])


def plot_region(paths):
    """The plot region: the largest white-filled rectangle."""
    best = None
    for p in paths:
        if p['fill'] == '#ffffff':
            for s in p['subs']:
                r = rect_of(s)
                if r and (best is None or (r[2] - r[0]) * (r[3] - r[1]) > (best[2] - best[0]) * (best[3] - best[1])):
                    best = r
    return best


def number(s):
    try:
        return float(s.replace(',', ''))
    except ValueError:
        return None


def axis_fit(paths, texts, region, which):
    """(a, b) with data = a + b * coordinate for the left ('y') or bottom ('x') axis."""
    x0, y0, x1, y1 = region
    ticks = []
    for p in paths:
        if p['fill'] != 'none':
            continue
        for s in p['subs']:
            pts = list(points(s))
            if len(pts) != 2:
                continue
            (ax, ay), (bx, by) = pts
            if which == 'y' and abs(ay - by) < 0.01 and abs(max(ax, bx) - x0) < 0.05 and 0 < abs(ax - bx) < 10:
                ticks.append(ay)
            if which == 'x' and abs(ax - bx) < 0.01 and abs(min(ay, by) - y1) < 0.05 and 0 < abs(ay - by) < 10:
                ticks.append(ax)
    labels = []
    for t in texts:
        v = number(t['s'])
        if v is None or t['rot']:
            continue
        if which == 'y' and t['anchor'] == 'end' and t['x'] < x0 and y0 - 5 <= t['y'] <= y1 + 5:
            labels.append((t['y'], v))
        if which == 'x' and t['anchor'] == 'middle' and t['y'] > y1 and x0 - 5 <= t['x'] <= x1 + 5:
            labels.append((t['x'], v))
    ticks = sorted(set(round(t, 2) for t in ticks))
    labels.sort()
    if len(ticks) < 2 or len(ticks) != len(labels):
        return None
    vals = [v for _, v in labels]
    n = len(ticks)
    mx, mv = sum(ticks) / n, sum(vals) / n
    b = sum((t - mx) * (v - mv) for t, v in zip(ticks, vals)) / sum((t - mx) ** 2 for t in ticks)
    a = mv - b * mx
    worst = max(abs(a + b * t - v) for t, v in zip(ticks, vals))
    if worst > 1e-3 * abs(vals[-1] - vals[0]):
        sys.exit('tick labels are not evenly spaced along the %s axis' % which)
    return a, b


def conv(fit, c):
    return c if fit is None else fit[0] + fit[1] * c


def fmt(v):
    return '%.6g' % v


def bars(paths, texts, region):
    fx, fy = axis_fit(paths, texts, region, 'x'), axis_fit(paths, texts, region, 'y')
    rows = []
    for p in paths:
        if p['fill'] in ('none', '#ffffff'):
            continue
        for s in p['subs']:
            r = rect_of(s)
            if not r or r == region or r[0] < region[0] - TOL or r[2] > region[2] + TOL \
                    or r[1] < region[1] - TOL or r[3] > region[3] + TOL:
                continue
            xa, xb = sorted((conv(fx, r[0]), conv(fx, r[2])))
            ya, yb = sorted((conv(fy, r[1]), conv(fy, r[3])))
            rows.append((xa, xb, ya, yb, p['fill']))
    rows.sort()
    return ['x0,x1,y0,y1,fill'] + [','.join(fmt(v) for v in r[:4]) + ',' + r[4] for r in rows]


def markers(paths, region):
    out = []
    for p in paths:
        if p['fill'] != 'none' and p['stroke'] is None:
            subs = p['subs']  # filled marker shapes
        elif p['fill'] == 'none':
            subs = [s for s in p['subs'] if len(s) == 1]  # round dots
        else:
            continue
        for s in subs:
            pts = list(points(s))
            cx, cy = sum(q[0] for q in pts) / len(pts), sum(q[1] for q in pts) / len(pts)
            if region[0] - TOL <= cx <= region[2] + TOL and region[1] - TOL <= cy <= region[3] + TOL:
                if len(s) == 1 or not rect_of(s):
                    out.append((cx, cy, p.get('stroke') or p['fill']))
    return out


def dots(paths, texts, region):
    fx, fy = axis_fit(paths, texts, region, 'x'), axis_fit(paths, texts, region, 'y')
    rows = sorted((conv(fx, x), conv(fy, y), c) for x, y, c in markers(paths, region))
    return ['x,y,color'] + ['%s,%s,%s' % (fmt(x), fmt(y), c) for x, y, c in rows]


def lines(paths, texts, region):
    """The points of every polyline of three points or more, with its colour."""
    fx, fy = axis_fit(paths, texts, region, 'x'), axis_fit(paths, texts, region, 'y')
    rows = []
    for p in paths:
        if p['fill'] != 'none' or not p['stroke']:
            continue
        for s in p['subs']:
            pts = list(points(s))
            if len(pts) >= 3 and not any(q[0] == 'C' for q in s):
                rows += [(p['stroke'], conv(fx, x), conv(fy, y)) for x, y in pts]
    return ['color,x,y'] + ['%s,%s,%s' % (c, fmt(x), fmt(y)) for c, x, y in rows]


def boxes(paths, texts, region, horizontal):
    """Each filled box with the lines that meet it: median across it, whiskers from it."""
    axis = 'x' if horizontal else 'y'
    fit = axis_fit(paths, texts, region, axis)
    if fit is None:
        sys.exit('no numeric axis found')
    segs = []
    for p in paths:
        if p['fill'] == 'none':
            for s in p['subs']:
                pts = list(points(s))
                if len(pts) == 2:
                    segs.append(pts)
    found = []
    for p in paths:
        if p['fill'] in ('none', '#ffffff'):
            continue
        for s in p['subs']:
            r = rect_of(s)
            if not r or r == region:
                continue
            if not (region[0] - TOL <= r[0] and r[2] <= region[2] + TOL and region[1] - TOL <= r[1] and r[3] <= region[3] + TOL):
                continue
            # across: the box's extent along the category axis; along: the value axis
            c0, c1 = (r[1], r[3]) if horizontal else (r[0], r[2])
            v0, v1 = (r[0], r[2]) if horizontal else (r[1], r[3])
            med, wlo, whi = None, v0, v1
            for (ax, ay), (bx, by) in segs:
                (ac, av), (bc, bv) = ((ay, ax), (by, bx)) if horizontal else ((ax, ay), (bx, by))
                if abs(av - bv) < 0.01 and abs(min(ac, bc) - c0) < 0.05 and abs(max(ac, bc) - c1) < 0.05 and v0 - 0.01 <= av <= v1 + 0.01:
                    med = av
                mid = (c0 + c1) / 2
                if abs(ac - bc) < 0.01 and abs(ac - mid) < 0.05:
                    lo, hi = min(av, bv), max(av, bv)
                    if abs(hi - v0) < 0.05 or abs(lo - v0) < 0.05 or abs(hi - v1) < 0.05 or abs(lo - v1) < 0.05:
                        wlo, whi = min(wlo, lo), max(whi, hi)
            if med is None:
                sys.exit('a box without a median line')
            # every marker in the box's column is an outside value: none may lie
            # between the whisker ends (one on an end is a value a hair beyond it)
            outs = 0
            for x, y, _ in markers(paths, region):
                c, v = (y, x) if horizontal else (x, y)
                if c0 <= c <= c1:
                    outs += 1
                    if wlo + 0.02 < v < whi - 0.02:
                        sys.exit('a marker between the whisker ends')
            vals = sorted(conv(fit, v) for v in (v0, v1))
            w = sorted(conv(fit, v) for v in (wlo, whi))
            found.append(((c0 + c1) / 2, vals[0], conv(fit, med), vals[1], w[0], w[1], outs))
    found.sort()
    return ['pos,p25,p50,p75,wlo,whi,nout'] + [','.join(fmt(v) for v in f) for f in found]


def pie(paths):
    rows = []
    for p in paths:
        if p['fill'] in ('none', '#ffffff'):
            continue
        for s in p['subs']:
            if len(s) < 3 or s[1][0] == 'C' or s[-1][0] != 'C':
                continue
            (cx, cy), (ax, ay) = s[0], s[1]
            a0 = math.atan2(cy - ay, ax - cx)
            span = 0.0
            prev = a0
            for seg in s[2:]:
                ex, ey = seg[3]
                a = math.atan2(cy - ey, ex - cx)
                step = (a - prev) % (2 * math.pi)
                if step > math.pi:
                    step -= 2 * math.pi
                span += step
                prev = a
            rows.append((p['fill'], abs(span) / (2 * math.pi)))
    return ['fill,share'] + ['%s,%s' % (f, fmt(v)) for f, v in rows]


def main():
    mode, fn = sys.argv[1], sys.argv[2]
    W, H, paths, texts = load(fn)
    check_bounds(W, H, paths, texts)
    region = plot_region(paths)
    if mode == 'bounds':
        return
    if mode == 'pie':
        rows = pie(paths)
    elif region is None:
        sys.exit('no plot region')
    elif mode == 'bars':
        rows = bars(paths, texts, region)
    elif mode == 'dots':
        rows = dots(paths, texts, region)
    elif mode == 'lines':
        rows = lines(paths, texts, region)
    elif mode in ('boxes', 'hboxes'):
        rows = boxes(paths, texts, region, mode == 'hboxes')
    else:
        sys.exit('unknown mode ' + mode)
    text = '\n'.join(rows) + '\n'
    if len(sys.argv) > 3:
        with open(sys.argv[3], 'w') as f:
            f.write(text)
    else:
        sys.stdout.write(text)


if __name__ == '__main__':
    main()
