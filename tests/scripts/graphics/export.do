* PNG pictures at a chosen width or resolution: the size in the header and
* the resolution chunk read back from the file; SVG keeps text as text; PDF
* carries the subset of each font, which holds the outlines of the characters
* its text uses and parses as a font (read back by svgcheck.py's reader).
clear
set obs 10
gen x = _n
gen y = x^2
scatter y x, title("Squares")
graph export a.png, width(800)
shell /usr/bin/python3 -c "import struct; d = open('a.png', 'rb').read(); print(struct.unpack('>II', d[16:24]), d.find(b'pHYs'))" > out.txt
type out.txt
graph export b.png, resolution(300)
shell /usr/bin/python3 -c "import struct; d = open('b.png', 'rb').read(); i = d.find(b'pHYs'); print(struct.unpack('>II', d[16:24]), struct.unpack('>IIB', d[i + 4:i + 13]))" > out.txt
type out.txt
graph export c.png, width(600) resolution(150)
shell /usr/bin/python3 -c "import struct; d = open('c.png', 'rb').read(); i = d.find(b'pHYs'); print(struct.unpack('>II', d[16:24]), struct.unpack('>IIB', d[i + 4:i + 13]))" > out.txt
type out.txt
cap noi graph export d.png, resolution(5)
display _rc
cap noi graph export d.png, resolution(3000)
display _rc
graph export e.pdf
shell /usr/bin/python3 pdffont.py e.pdf Squares > out.txt
type out.txt
* texts in a serif and a fixed-pitch face as well: each face its own subset
gdi init 6 4 255 255 255
gdi text 2000 15000 Sans text
gdi textfont = DejaVu Serif
gdi textchange
gdi text 2000 10000 Serif text
gdi textfont = DejaVu Sans Mono
gdi textchange
gdi text 2000 5000 Fixed text
gdi end
graph export f.pdf
shell /usr/bin/python3 pdffont.py f.pdf "Sans text" "Serif text" "Fixed text" > out.txt
type out.txt
