#!/usr/bin/python3
"""Measures an SVG picture written by `graph export`, independently of the
program that drew it: every text's box is computed from the font file's own
advance widths and vertical metrics (read straight from the TrueType tables),
placed by its anchor and rotation; every path, line and rectangle point is
read from the markup.

    svgcheck.py FILE.svg [--greys] [--sizes] [--texts] [--scale F] [--ratio OTHER.svg]
                [--cells ROWS COLS TEXT ...]

Prints one line per check, so a do-file can `type` the result into its log:
  texts: how many, how many pairs overlap, how many reach outside the page;
  shapes: how many points of paths and rectangles fall outside the page;
  --greys: whether every colour used has equal red, green and blue;
  --sizes: the smallest and largest text size, divided by --scale when given
           (so a picture can be compared with one drawn at scale 1);
  --cells: for each TEXT, the cell (row, column) of a ROWS by COLS grid over
           the page that holds the centre of its box;
  --ratio: the smallest and the largest text size over those of OTHER.svg;
  --texts: each text with its size and box (for looking, not for logs).

    svgcheck.py MODE FILE.svg [out.csv]

reads a chart back as a person would read the picture. It first prints
"bounds ok", or one line per text or point outside the page and per pair of
overlapping texts. The axes are read from the picture itself: the tick marks
along the plot region's left and bottom edges, paired with the numeric labels
beside them, give a straight line from picture coordinates to data units.
  bounds only the check above
  bars   filled rectangles in the plot region: x0,x1,y0,y1,fill in data units
         (an axis without numeric ticks, such as categories, stays in points)
  boxes  box plots: for each box its position, p25, median, p75, the whisker
         ends and how many markers lie beyond them (vertical boxes; hboxes for
         horizontal ones)
  pie    slices in drawing order: fill,share (the slice's angle over 360)
  dots   markers in the plot region: x,y in data units, as bars
  lines  the points of each polyline (three points or more): color,x,y
The rows go to out.csv (with a header line) when it is given, else to stdout.
Only the standard library and numpy are used.
"""
import math
import re
import struct
import sys
import xml.etree.ElementTree as ET

import numpy as np

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
TOL = 0.5  # user units of slack in every comparison


class Font:
    """Advance widths and vertical metrics of a TrueType font, per em."""

    def __init__(self, path):
        data = open(path, "rb").read()
        ntab = struct.unpack(">H", data[4:6])[0]
        tabs = {}
        for i in range(ntab):
            tag, _, off, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
            tabs[tag.decode("latin-1")] = (off, length)
        head = tabs["head"][0]
        self.upem = struct.unpack(">H", data[head + 18:head + 20])[0]
        hhea = tabs["hhea"][0]
        asc, desc = struct.unpack(">hh", data[hhea + 4:hhea + 8])
        self.ascent, self.descent = asc / self.upem, -desc / self.upem
        nmetrics = struct.unpack(">H", data[hhea + 34:hhea + 36])[0]
        hmtx = tabs["hmtx"][0]
        self.adv = [struct.unpack(">H", data[hmtx + 4 * i:hmtx + 4 * i + 2])[0] for i in range(nmetrics)]
        self.cmap = self._cmap(data, tabs["cmap"][0])

    @staticmethod
    def _cmap(data, base):
        n = struct.unpack(">H", data[base + 2:base + 4])[0]
        for i in range(n):
            plat, enc, off = struct.unpack(">HHI", data[base + 4 + 8 * i:base + 12 + 8 * i])
            sub = base + off
            if plat == 3 and enc == 1 and struct.unpack(">H", data[sub:sub + 2])[0] == 4:
                segx2 = struct.unpack(">H", data[sub + 6:sub + 8])[0]
                seg = segx2 // 2
                ends = struct.unpack(">%dH" % seg, data[sub + 14:sub + 14 + segx2])
                starts = struct.unpack(">%dH" % seg, data[sub + 16 + segx2:sub + 16 + 2 * segx2])
                deltas = struct.unpack(">%dh" % seg, data[sub + 16 + 2 * segx2:sub + 16 + 3 * segx2])
                roff_at = sub + 16 + 3 * segx2
                roffs = struct.unpack(">%dH" % seg, data[roff_at:roff_at + segx2])
                m = {}
                for k in range(seg):
                    for c in range(starts[k], ends[k] + 1):
                        if c == 0xFFFF:
                            continue
                        if roffs[k] == 0:
                            g = (c + deltas[k]) & 0xFFFF
                        else:
                            at = roff_at + 2 * k + roffs[k] + 2 * (c - starts[k])
                            g = struct.unpack(">H", data[at:at + 2])[0]
                            if g:
                                g = (g + deltas[k]) & 0xFFFF
                        m[c] = g
                return m
        raise SystemExit("font has no Unicode cmap")

    def width(self, text):
        total = 0
        for ch in text:
            g = self.cmap.get(ord(ch), 0)
            total += self.adv[min(g, len(self.adv) - 1)]
        return total / self.upem


def strip(tag):
    return tag.split("}")[-1]


def numbers(s):
    return [float(x) for x in re.findall(r"-?\d+(?:\.\d+)?(?:e-?\d+)?", s)]


def textbox(font, el):
    """The four corners of a text element's box, in page units."""
    x, y = float(el.get("x")), float(el.get("y"))
    size = float(el.get("font-size"))
    text = "".join(el.itertext())
    w = font.width(text) * size
    anchor = el.get("text-anchor", "start")
    x0 = x - w if anchor == "end" else x - w / 2 if anchor == "middle" else x
    corners = np.array([[x0, y - font.ascent * size], [x0 + w, y - font.ascent * size],
                        [x0 + w, y + font.descent * size], [x0, y + font.descent * size]])
    t = el.get("transform")
    if t:
        a, cx, cy = numbers(t)[:3]
        r = np.radians(a)
        rot = np.array([[np.cos(r), -np.sin(r)], [np.sin(r), np.cos(r)]])
        corners = (corners - [cx, cy]) @ rot.T + [cx, cy]
    return text, size, corners


def overlap(a, b):
    """True when two convex quadrilaterals overlap by more than TOL."""
    for poly in (a, b):
        for i in range(4):
            edge = poly[(i + 1) % 4] - poly[i]
            axis = np.array([-edge[1], edge[0]])
            n = np.hypot(*axis)
            if n == 0:
                continue
            axis /= n
            pa, pb = a @ axis, b @ axis
            if pa.max() <= pb.min() + TOL or pb.max() <= pa.min() + TOL:
                return False
    return True


def pathpoints(d):
    """The points a path visits (absolute M L C, relative h and v)."""
    pts, x, y = [], 0.0, 0.0
    for cmd, args in re.findall(r"([MLCHVZmlchvz])([^MLCHVZmlchvz]*)", d):
        v = numbers(args)
        if cmd in "MLC":
            for k in range(0, len(v) - 1, 2):
                x, y = v[k], v[k + 1]
                pts.append((x, y))
        elif cmd in "hH":
            for n in v:
                x = x + n if cmd == "h" else n
                pts.append((x, y))
        elif cmd in "vV":
            for n in v:
                y = y + n if cmd == "v" else n
                pts.append((x, y))
    return pts


def colours(root):
    found = set()
    for el in root.iter():
        for attr in ("fill", "stroke"):
            v = el.get(attr)
            if v and v.startswith("#"):
                found.add(v.lower())
    return found


NS = '{http://www.w3.org/2000/svg}'
CTOL = 0.6  # points: half a stroke, and the two-decimal rounding of coordinates


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
            rot, cx, cy = 0.0, float(e.get('x')), float(e.get('y'))
            if e.get('transform'):
                rot, cx, cy = numbers(e.get('transform'))[:3]
            texts.append({'x': float(e.get('x')), 'y': float(e.get('y')), 'size': float(e.get('font-size')),
                          'anchor': e.get('text-anchor', 'start'), 'rot': rot, 'cx': cx, 'cy': cy,
                          's': e.text or ''})
    return vb[2], vb[3], paths, texts


def chartbox(font, t):
    """Corners of a text's box from the font's metrics, turned by its rotation."""
    w = font.width(t['s']) * t['size']
    x0 = {'start': 0, 'middle': -w / 2, 'end': -w}[t['anchor']]
    up, down = font.ascent * t['size'], font.descent * t['size']
    corners = [(t['x'] + x0 - t['cx'], t['y'] - up - t['cy']), (t['x'] + x0 + w - t['cx'], t['y'] - up - t['cy']),
               (t['x'] + x0 + w - t['cx'], t['y'] + down - t['cy']), (t['x'] + x0 - t['cx'], t['y'] + down - t['cy'])]
    # turned about the centre of its rotation
    a = math.radians(t['rot'])
    return [(t['cx'] + x * math.cos(a) - y * math.sin(a), t['cy'] + x * math.sin(a) + y * math.cos(a)) for x, y in corners]


def check_bounds(font, W, H, paths, texts):
    bad = []
    for p in paths:
        for s in p['subs']:
            for x, y in points(s):
                if x < -CTOL or x > W + CTOL or y < -CTOL or y > H + CTOL:
                    bad.append('path point %.2f %.2f outside %g by %g' % (x, y, W, H))
    for t in texts:
        for x, y in chartbox(font, t):
            if x < -CTOL or x > W + CTOL or y < -CTOL or y > H + CTOL:
                bad.append('text "%s" reaches %.2f %.2f outside %g by %g' % (t['s'], x, y, W, H))
                break
    # no two texts overlap: their boxes, a little smaller than measured, are
    # compared when both are upright
    boxes = []
    for t in texts:
        if t['rot'] or not t['s'].strip():
            continue
        c = chartbox(font, t)
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
            if not r or r == region or r[0] < region[0] - CTOL or r[2] > region[2] + CTOL \
                    or r[1] < region[1] - CTOL or r[3] > region[3] + CTOL:
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
            if region[0] - CTOL <= cx <= region[2] + CTOL and region[1] - CTOL <= cy <= region[3] + CTOL:
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
            if not (region[0] - CTOL <= r[0] and r[2] <= region[2] + CTOL and region[1] - CTOL <= r[1] and r[3] <= region[3] + CTOL):
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


def chartmain(argv):
    mode, fn = argv[1], argv[2]
    W, H, paths, texts = load(fn)
    check_bounds(Font(FONT), W, H, paths, texts)
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
    if len(argv) > 3:
        with open(argv[3], 'w') as f:
            f.write(text)
    else:
        sys.stdout.write(text)


def main(argv):
    path = argv[1]
    flags = set(a for a in argv[2:] if a.startswith("--"))
    scale = 1.0
    if "--scale" in argv:
        scale = float(argv[argv.index("--scale") + 1])
    root = ET.parse(path).getroot()
    vb = numbers(root.get("viewBox"))
    W, H = vb[2], vb[3]
    font = Font(FONT)
    boxes = []
    for el in root.iter():
        if strip(el.tag) == "text":
            boxes.append(textbox(font, el))
    nover = 0
    for i in range(len(boxes)):
        for j in range(i + 1, len(boxes)):
            if overlap(boxes[i][2], boxes[j][2]):
                nover += 1
                print("overlap: %r and %r" % (boxes[i][0], boxes[j][0]))
    nout = 0
    for text, _, c in boxes:
        if c[:, 0].min() < -TOL or c[:, 0].max() > W + TOL or c[:, 1].min() < -TOL or c[:, 1].max() > H + TOL:
            nout += 1
            print("outside: %r" % text)
    print("texts: %d, overlapping pairs: %d, outside the page: %d" % (len(boxes), nover, nout))
    npts = bad = 0
    for el in root.iter():
        tag = strip(el.tag)
        pts = []
        if tag == "path" and el.get("d"):
            pts = pathpoints(el.get("d"))
        elif tag == "rect" and el.get("x") is not None:
            x, y = float(el.get("x")), float(el.get("y"))
            pts = [(x, y), (x + float(el.get("width")), y + float(el.get("height")))]
        for x, y in pts:
            npts += 1
            if x < -TOL or x > W + TOL or y < -TOL or y > H + TOL:
                bad += 1
    print("shape points outside the page: %d" % bad)
    if "--greys" in flags:
        nongrey = sorted(c for c in colours(root) if not (c[1:3] == c[3:5] == c[5:7]))
        print("colours: %s" % ("all grey" if not nongrey else "not grey " + " ".join(nongrey)))
    if "--sizes" in flags and boxes:
        sizes = [s / scale for _, s, _ in boxes]
        print("text sizes: smallest %.2f, largest %.2f" % (min(sizes), max(sizes)))
    if "--ratio" in argv:
        other = ET.parse(argv[argv.index("--ratio") + 1]).getroot()
        osz = [float(el.get("font-size")) for el in other.iter() if strip(el.tag) == "text"]
        sz = [s for _, s, _ in boxes]
        print("text sizes over the other picture's: smallest %.2f, largest %.2f" % (min(sz) / min(osz),
                                                                                 max(sz) / max(osz)))
    if "--cells" in argv:
        at = argv.index("--cells")
        rows, cols = int(argv[at + 1]), int(argv[at + 2])
        for want in argv[at + 3:]:
            hits = [c for t, _, c in boxes if t == want]
            if not hits:
                print("%s: not found" % want)
                continue
            cx, cy = hits[0][:, 0].mean(), hits[0][:, 1].mean()
            print("%s: row %d, column %d" % (want, int(cy / H * rows) + 1, int(cx / W * cols) + 1))
    if "--texts" in flags:
        for text, size, c in boxes:
            print("%-30r %6.2f  x %.1f-%.1f  y %.1f-%.1f" % (text, size, c[:, 0].min(), c[:, 0].max(),
                                                           c[:, 1].min(), c[:, 1].max()))


MODES = ('bounds', 'bars', 'boxes', 'hboxes', 'pie', 'dots', 'lines')

if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] in MODES:
        chartmain(sys.argv)
    else:
        main(sys.argv)
