#!/usr/bin/python3
# Writes the fixtures of fileutil.do (mixed.txt, bytes.dat) and prints the
# figures the test checks, computed independently with zlib and bytes.replace.
# big.txt is made by the do-file itself (outfile); it is rebuilt here the same way.
import zlib

mixed = b'first\r\nsecond\n"quoted"\\back\tslash\rlast\r\n\xc3\xa9t\xc3\xa9\n'
data = bytes(range(256))
open("mixed.txt", "wb").write(mixed)
open("bytes.dat", "wb").write(data)
big = b"".join(b"row%06d\n" % n for n in range(1, 200001))


def crc(b):
    return zlib.crc32(b)


def counts(b):
    crlf = b.count(b"\r\n")
    lf = b.count(b"\n") - crlf
    cr = b.count(b"\r") - crlf
    ctrl = sum(1 for c in b if (c < 32 or c == 127) and c not in (0, 9, 10, 13))
    return dict(len=len(b), lf=lf, crlf=crlf, cr=cr, tab=b.count(b"\t"), nul=b.count(b"\0"),
                ctrl=ctrl, high=sum(1 for c in b if c >= 128))


print("mixed.txt crc", crc(mixed), "len", len(mixed), counts(mixed))
print("bytes.dat crc", crc(data), "len", len(data), counts(data))
print("empty crc", crc(b""))
print("big.txt crc", crc(big), "len", len(big))
for name, src, a, b in [
    ("crlf->lf", mixed, b"\r\n", b"\n"),
    ("quote->bs quote", mixed, b'"', b'\\"'),
    ("backslash->byte 47", mixed, b"\\", b"/"),
    ("tab->nothing", mixed, b"\t", b""),
    ("e-acute->e", mixed, b"\xc3\xa9", b"e"),
    ("big row104858->X", big, b"row104858", b"X"),
    ("big nl row->|", big, b"\nrow", b"|"),
    ("bytes 255->0 0", data, b"\xff", b"\0\0"),
]:
    out = src.replace(a, b)
    print(name, "occurrences", src.count(a), "bytes_to", len(out), "crc", crc(out))
