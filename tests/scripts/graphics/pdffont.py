#!/usr/bin/python3
"""Reads back the fonts a PDF written by `graph export` embeds: each TrueType
file of /FontFile2, inflated and parsed with svgcheck.py's font reader; then
says, for the TEXT given for it (in the order the fonts are embedded),
whether every character has a glyph of its own in it and whether its advance
widths agree with the system's copy of the font. Also checks that every
entry of the cross-reference table points at its object.
    pdffont.py FILE.pdf TEXT [TEXT ...]
"""
import os
import re
import sys
import zlib

import svgcheck

FONTDIR = os.path.dirname(svgcheck.FONT)
data = open(sys.argv[1], "rb").read()
texts = sys.argv[2:]
start = int(re.search(rb"startxref\n(\d+)", data).group(1))
xref = re.findall(rb"(\d{10}) 00000 n ", data[start:])
bad = [i + 1 for i, o in enumerate(xref) if not data[int(o):].startswith(b"%d 0 obj" % (i + 1))]
print("cross-references: %d, astray: %d" % (len(xref), len(bad)))
bases = re.findall(rb"/Subtype /TrueType /BaseFont /([A-Z]{6})\+(\S+)", data)
streams = list(re.finditer(rb"/Length (\d+) /Length1 (\d+) /Filter /FlateDecode >>\nstream\n", data))
if not bases or not streams:
    print("no embedded font")
    sys.exit(0)
if len(bases) > 1:
    print("subset tags all different: %s" % (len({t for t, _ in bases}) == len(bases)))
for (tag, name), m, text in zip(bases, streams, texts):
    font = zlib.decompress(data[m.end():m.end() + int(m.group(1))])
    print("embedded %s, subset tag of 6 capitals, %d bytes (Length1 %s)" % (name.decode(), len(font),
                                                                           m.group(2).decode()))
    open("embedded.ttf", "wb").write(font)
    sub = svgcheck.Font("embedded.ttf")
    full = svgcheck.Font(os.path.join(FONTDIR, name.decode() + ".ttf"))
    missing = [c for c in text if sub.cmap.get(ord(c), 0) == 0]
    print("glyphs: %d in the subset, characters of the text without one: %d" % (len(sub.adv), len(missing)))
    print("width of the text: subset %.4f em, full font %.4f em" % (sub.width(text), full.width(text)))
