#!/usr/bin/python3
"""Reads back the font a PDF written by `graph export` embeds: the TrueType
file of /FontFile2, inflated and parsed with svgcheck.py's font reader; then
says whether every character of TEXT has a glyph of its own in it and whether
its advance widths agree with the system's copy of the font.
    pdffont.py FILE.pdf TEXT
"""
import re
import sys
import zlib

import svgcheck

data = open(sys.argv[1], "rb").read()
text = sys.argv[2]
base = re.search(rb"/BaseFont /([A-Z]{6})\+(\S+)", data)
m = re.search(rb"/Length (\d+) /Length1 (\d+) /Filter /FlateDecode >>\nstream\n", data)
if not base or not m:
    print("no embedded font")
    sys.exit(0)
font = zlib.decompress(data[m.end():m.end() + int(m.group(1))])
print("embedded %s, subset tag of 6 capitals, %d bytes (Length1 %s)" % (base.group(2).decode(), len(font),
                                                                       m.group(2).decode()))
open("embedded.ttf", "wb").write(font)
sub = svgcheck.Font("embedded.ttf")
full = svgcheck.Font(svgcheck.FONT)
missing = [c for c in text if sub.cmap.get(ord(c), 0) == 0]
print("glyphs: %d in the subset, characters of the text without one: %d" % (len(sub.adv), len(missing)))
print("width of the text: subset %.4f em, full font %.4f em" % (sub.width(text), full.width(text)))
