#!/usr/bin/env python3
"""Builds the .dta test files of this folder from the file-format description:
one file per readable release in both byte orders (old_RRR_hi.dta and
old_RRR_lo.dta), and damaged files for the error cases. Run from this folder;
the files are checked in, so this only needs to run again when they change."""
import struct

NAMES = ["id", "n", "big", "x", "y", "s"]  # y becomes x.y in releases 106 and older
TYPES = ["b", "i", "l", "f", "d", 4]       # letter codes, or a string width


def layout(rel):
    """(header, name, format, variable-label, data-label widths, expansion length bytes, label form)"""
    if rel == 102:
        return 40, 9, 7, 32, 32, 0, 0
    if rel in (103, 104):
        return 42, 9, 7, 32, 32, 0, 0
    if rel in (105, 106):
        return 60, 9, 12, 32, 32, 2, 0 if rel == 105 else 1
    if rel in (107, 108):
        return 109, 9, 12, 81, 81, 2, 1
    return 109, 33, 12, 81, 81, 4, 2


def field(text, width):
    b = text.encode()[: width - 1]
    return b + b"\0" * (width - len(b))


def typecode(rel, t):
    if rel in (111, 113):
        if isinstance(t, int):
            return t
        return {"b": 251, "i": 252, "l": 253, "f": 254, "d": 255}[t]
    if isinstance(t, int):
        return 127 + t
    return ord(t)


def cells(rel):
    """The three records' values as (format, value) per variable."""
    legacy = rel <= 111
    bmiss = 127 if legacy else 102        # `.` legacy, `.a` modern
    imiss = 32767 if legacy else 32741    # `.`
    lmiss = 2147483647 if legacy else 2147483621 + 26  # `.` / `.z`
    fmiss = struct.unpack("<f", struct.pack("<I", 0x7F000000 + (0 if legacy else 0x800 * 2)))[0]
    if rel <= 107:
        dmiss = 2.0 ** 333
    elif legacy:
        dmiss = 2.0 ** 1023
    else:
        dmiss = struct.unpack("<d", struct.pack("<Q", 0x7FE0000000000000 + (3 << 40)))[0]  # .c
    b2 = 120 if legacy else 100          # 120 needs an int in the modern types
    return [
        [1, 10, 100000, 1.5, 2.5, "ab"],
        [b2, -5, lmiss, fmiss, dmiss, "cdef"],
        [bmiss, imiss, -7, 0.25, -1.0, ""],
    ]


def build(rel, hilo, badlabel=False):
    e = ">" if hilo else "<"
    hdrlen, namew, fmtw, vlabw, dlblw, explen, vlform = layout(rel)
    nvar, nobs = len(NAMES), 3
    names = list(NAMES)
    if rel <= 106:
        names[4] = "x.y"
    out = bytearray()
    label = "old data %d" % rel
    if rel == 102:
        out += struct.pack("<BBHHH", rel, 0, 1, nvar, nobs) + field(label, 32)
    else:
        out += struct.pack(e + "BBBBHI", rel, 1 if hilo else 2, 1, 0, nvar, nobs)
        out += field(label, dlblw)
        if hdrlen > 42:
            out += field(" 4 Dec 2026 06:19", 18)
    assert len(out) == hdrlen, (rel, len(out))
    out += bytes(typecode(rel, t) for t in TYPES)
    for n in names:
        out += field(n, namew)
    srt = [1, 5] + [0] * (nvar + 1 - 2)  # sorted by id and y
    out += struct.pack(e + "%dH" % (nvar + 1), *srt)
    fmts = ["%8.0g", "%8.0g", "%12.0g", "%9.0g", "%10.0g", "%9s"]
    for f in fmts:
        out += field(f, fmtw)
    for k in range(nvar):
        out += field("yn" if k == 0 else "", namew)
    for k in range(nvar):
        out += field("label of %s" % names[k] if k < 2 else "", vlabw)
    if explen:
        cn = 33 if explen == 4 else 9
        for owner, name, text in (("_dta", "note", "made by mkfiles"), ("id", "unit", "person")):
            body = field(owner, cn) + field(name, cn) + text.encode() + b"\0"
            out += struct.pack(e + "B" + ("I" if explen == 4 else "H"), 1, len(body)) + body
        out += bytes([7]) + struct.pack(e + ("I" if explen == 4 else "H"), 3) + b"xyz"
        out += b"\0" * (1 + explen)
    fmt = {"b": "b", "i": "h", "l": "i", "f": "f", "d": "d"}
    for rec in cells(rel):
        for t, v in zip(TYPES, rec):
            if isinstance(t, int):
                out += field(v, t + 1)[:t] if len(v) < t else v.encode()
            else:
                out += struct.pack(e + fmt[t], v)
    vals, txts = ([2, 1] if badlabel else [1, 2]), ["yes", "no"]
    if vlform == 0:
        out += struct.pack(e + "H", 2) + field("yn", 10)
        out += struct.pack(e + "2h", *vals)
        for t in txts:
            out += field(t, 9)[:8]
    else:
        txt = b"".join(t.encode() + b"\0" for t in txts)
        offs, o = [], 0
        for t in txts:
            offs.append(o)
            o += len(t) + 1
        table = struct.pack(e + "II", 2, len(txt)) + struct.pack(e + "2I", *offs)
        table += struct.pack(e + "2i", *vals) + txt
        namefield = field("yn", 33) + b"\0\0\0" if vlform == 2 else field("yn", 9) + b"\0\0\0"
        out += struct.pack(e + "i", len(table)) + namefield + table
    return bytes(out)


def main():
    for rel in (102, 103, 104, 105, 106, 107, 108, 110, 111, 112, 113):
        for hilo in (True, False):
            if rel == 102 and hilo:
                continue  # release 102 is always least significant byte first
            with open("old_%d_%s.dta" % (rel, "hi" if hilo else "lo"), "wb") as f:
                f.write(build(rel, hilo))
    good = build(113, True)
    damaged = {
        "notdta.dta": b"this is a text file, not a dataset\n",
        "newer.dta": bytes([117]) + b"Zelta .dta file" + b"\0" * 200,
        "xpfile.dta": good[:2] + bytes([2]) + good[3:],
        "shorthdr.dta": good[:50],
        "shortdata.dta": good[: len(good) - 71 - 30],
        "shortlabel.dta": good[: len(good) - 20],
        "badtype.dta": good[:109] + bytes([248]) + good[110:],
        "badorder.dta": good[:1] + bytes([7]) + good[2:],
        "badlabel.dta": build(113, True, badlabel=True),
    }
    for name, data in damaged.items():
        with open(name, "wb") as f:
            f.write(data)


main()
