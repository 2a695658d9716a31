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
Only the standard library and numpy are used.
"""
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


if __name__ == "__main__":
    main(sys.argv)
