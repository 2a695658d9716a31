#!/usr/bin/env python3
"""Writes the binary fixtures of the graphics script tests: graph files and a
series-set file in the other byte order, and graph files with damaged headers
or records. Run from this folder; the files are committed beside it."""
import struct

def stream(bo):
    """A small display list in byte order bo ('>' or '<')."""
    mark = 1 if bo == '>' else 2
    s = bytes([129, 132, 33, mark])
    s += bytes([148, 32, 0, 148, 33, 0])
    s += bytes([0]) + struct.pack(bo + 'hhdd', 32000, 21333, 6.0, 4.0) + bytes([255, 255, 255])
    s += bytes([148, 4]) + bytes([200, 0, 0])            # line colour
    s += bytes([148, 23]) + struct.pack(bo + 'd', 3.0)    # line width
    s += bytes([148, 20]) + struct.pack(bo + 'h', 2) + struct.pack(bo + 'iii', 0, 300, 200)
    s += bytes([48]) + struct.pack(bo + 'hhhh', 1000, 1000, 31000, 20000)
    s += bytes([148, 10, 0, 0, 200, 148, 11]) + struct.pack(bo + 'd', 20.0)
    s += bytes([150]) + struct.pack(bo + 'hhh', 16000, 10000, 6) + b'hello\0'
    s += bytes([147]) + struct.pack(bo + 'hhh', 1, 2, 3)
    s += bytes([153]) + struct.pack(bo + 'hhhhi', 1, 2, 3, 4, 5)
    s += bytes([154]) + struct.pack(bo + 'hhhhd', 1, 2, 3, 4, 0.5)
    s += bytes([152]) + struct.pack(bo + 'hhhhh', 1, 2, 3, 4, 2) + b'z\0'
    s += bytes([149]) + struct.pack(bo + 'hhh', 7, 8, 9)
    s += bytes([15])
    return s

def write(name, data):
    with open(name, 'wb') as f:
        f.write(data)

write('hilo.gph', stream('>'))
write('lohi.gph', stream('<'))
good = stream('>')
for fmt in (0, 2, 8, 20, 40, 70):
    write('fmt%d.gph' % fmt, good[:2] + bytes([fmt]) + good[3:])
write('secondbyte.gph', good[:1] + bytes([131]) + good[2:])
write('notgph.gph', b'this is not a graph\n')
write('short.gph', good[:40])
write('badop.gph', good[:34] + bytes([77]) + good[34:])
write('badreg.gph', good[:34] + bytes([148, 99]) + good[34:])
write('badstr.gph', good[:34] + bytes([150, 0, 1, 0, 1, 0xff, 0xf0]) + good[34:])

# A series set in least-significant-first order: byte, int, long, float,
# double and str3, three observations with missing values among them.
def serset(bo):
    mark = 1 if bo == '>' else 2
    types = [251, 252, 253, 254, 255, 3]
    names = ['b', 'i', 'l', 'f', 'd', 's']
    fmts = ['%8.0g', '%8.0g', '%12.0g', '%9.0g', '%10.0g', '%3s']
    n = 3
    s = bytes([mark]) + struct.pack(bo + 'ii', len(types), n) + bytes(types)
    s += b''.join(x.encode().ljust(54, b'\0') for x in names)
    s += b''.join(x.encode().ljust(12, b'\0') for x in fmts)
    s += struct.pack(bo + '6d', 1, -300, 70000, 0.5, -2.25, 0)
    s += struct.pack(bo + '6d', 101 - 1, 300, 70000, 1.5, 1e10, 0)
    rows = [(1, -300, 70000, 0.5, -2.25, b'ab\0'),
            (101, 300, 2147483621, 1.5, 1e10, b'xyz'),
            (-5, 32741, 12, struct.unpack(bo + 'f', struct.pack('>I', 0x7f000000) if bo == '>' else struct.pack('<I', 0x7f000000))[0], 2.0 ** 1023, b'\0\0\0')]
    for r in rows:
        s += struct.pack(bo + 'bhif', r[0], r[1], r[2], r[3]) + struct.pack(bo + 'd', r[4]) + r[5]
    return s

write('lohi.ser', serset('<'))
write('hilo.ser', serset('>'))
write('short.ser', serset('>')[:-10])
