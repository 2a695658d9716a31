#!/usr/bin/python3
# The signature datasignature.do expects for its small dataset, computed from
# the definition: 64-bit FNV-1a over each variable's name (with a closing NUL),
# its storage type code (byte 251, str# #, double 255) and its values in
# observation order (numbers as 8-byte little-endian doubles, texts with a
# closing NUL); the text is "N:K:hash" in 16 hex digits.
import struct


def fnv(data):
    h = 1469598103934665603
    for b in data:
        h ^= b
        h = (h * 1099511628211) % (1 << 64)
    return h


def sig(vars_, nobs):
    out = b""
    for name, code, vals in vars_:
        out += name.encode() + b"\0" + bytes([code])
        for v in vals:
            out += (v.encode() + b"\0") if isinstance(v, str) else struct.pack("<d", float(v))
    return "%d:%d:%016x" % (nobs, len(vars_), fnv(out))


base = [("x", 251, [1, 2, 3]), ("s", 3, ["a", "bb", ""]), ("y", 255, [1.5, -2.25, 0.0])]
print("base", sig(base, 3))
print("y[2] = 7", sig([base[0], base[1], ("y", 255, [1.5, 7, 0.0])], 3))
print("no variables", sig([], 0))
