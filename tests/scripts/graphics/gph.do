* Graph files: as-is save and use round trips, the graphs kept in memory by
* name, streams in the other byte order, damaged files and their messages,
* and series sets written to and read from files.
clear
cap noi graph save nothing
di _rc
cap noi graph export nothing.png
di _rc
gdi init 6 4 255 255 255
gdi linergb = 200 0 0
gdi line 100 100 31000 20000
gdi text 16000 10000 round trip
gdi end
graph save first
cap noi graph save first
di _rc
graph save first, replace
graph save second.gph
graph use first
graph dump using first.gph, nohex
* the file holds the stream plus one close byte
graph use second
graph dump, nohex
* the other byte order reads back with the same values
graph dump using lohi, nohex
graph dump using hilo, nohex
graph use lohi
graph export lohi.png
graph use hilo
graph export hilo.png
* graphs in memory by name
_gph name small
gdi init 4 3 0 0 0
gdi end
graph dir
graph display Graph
graph dir
graph drop small
graph dir
* these take nothing more: a word or an option left over is named, whole
capture noisily graph dir small
display _rc
capture noisily graph dir, all
display _rc
capture noisily graph drop small Graph
display _rc
local w 0123456789
local w `w'`w'`w'`w'`w'`w'`w'`w'`w'`w'
capture noisily graph display Graph `w'`w'`w'`w'`w'`w'END
display _rc
capture noisily _gph name other extra
display _rc
capture noisily _gph name other, extra
display _rc
capture noisily _gph name other, replace extra
display _rc
capture noisily _gph name other, `w'END
display _rc
capture noisily _gph name other,
display _rc
graph dir
cap noi graph display small
di _rc
cap noi graph drop small
di _rc
* damaged files
foreach f in fmt0 fmt2 fmt8 fmt20 fmt40 fmt70 secondbyte notgph short badop badreg badstr nosuch {
	cap noi graph use `f'
	di _rc
}
cap noi graph dump using badop
di _rc
cap noi graph export bad.png using short.gph
di _rc
* the graph in memory is untouched by a failed use
graph dir
cap noi graph frob
di _rc
cap noi graph
di _rc
cap noi graph export x.bmp
di _rc
cap noi graph export x.png, width(-3)
di _rc
cap noi graph export x.png, colour
di _rc
* series sets in files
file open fh using lohi.ser, read binary
file sersetread fh
file close fh
serset dump
file open fh using hilo.ser, read binary
file sersetread fh
file close fh
serset dump
file open out using copy.ser, write binary
file sersetwrite out
file close out
file open in using copy.ser, read binary
file sersetread in
file close in
serset dump
serset dir
file open fh using short.ser, read binary
cap noi file sersetread fh
di _rc
file close fh
serset dir
cap noi file open fh using nosuch.ser, read binary
di _rc
cap noi file open fh using copy.ser, write binary
di _rc
cap noi file open fh using copy.ser, binary
di _rc
file open fh using copy.ser, read binary
cap noi file sersetwrite fh
di _rc
cap noi file open fh using copy.ser, read binary
di _rc
file close _all
cap noi file close fh
di _rc
cap noi file seek fh 0
di _rc
