* checksum, filefilter and hexdump. The figures asserted below come from
* gen_fileutil.py (zlib's CRC-32 and bytes.replace), which also wrote the
* fixtures mixed.txt and bytes.dat.
* --- checksum
checksum mixed.txt
assert r(checksum) == 3246845028 & r(filelen) == 46 & r(version) == 1
checksum bytes.dat
assert r(checksum) == 688229491 & r(filelen) == 256
* save writes name.sum and refuses to overwrite it without replace
checksum mixed.txt, save
cat mixed.txt.sum
cap noi checksum mixed.txt, save
assert _rc == 602
quietly checksum bytes.dat, save replace
cap noi checksum mixed.txt, replace
assert _rc == 0
* errors
cap noi checksum nosuch.txt
assert _rc == 601
cap noi checksum mixed.txt, nosuch
assert _rc == 198
cap noi checksum
assert _rc == 100
cap noi checksum mixed.txt bytes.dat
assert _rc == 198
* --- a file over two read blocks (2,000,000 bytes)
quietly set obs 200000
quietly gen str9 s = "row" + string(_n, "%06.0f")
quietly outfile s using big.txt, noquote
checksum big.txt
assert r(checksum) == 3430727362 & r(filelen) == 2000000
* an empty file
quietly outfile s using empty.txt if 0, noquote
clear
quietly checksum empty.txt
assert r(checksum) == 0 & r(filelen) == 0
* --- filefilter
filefilter mixed.txt out1.txt, from("\r\n") to("\n")
assert r(occurrences) == 2 & r(bytes_from) == 46 & r(bytes_to) == 44
quietly checksum out1.txt
assert r(checksum) == 3929424128
filefilter mixed.txt out2.txt, from("\Q") to("\BS\Q")
assert r(occurrences) == 2 & r(bytes_to) == 48
quietly checksum out2.txt
assert r(checksum) == 3410244786
filefilter mixed.txt out3.txt, from(\BS) to(\047d)
assert r(occurrences) == 1 & r(bytes_to) == 46
quietly checksum out3.txt
assert r(checksum) == 1056521918
filefilter mixed.txt out4.txt, from("\t") to("")
assert r(occurrences) == 1 & r(bytes_to) == 45
quietly checksum out4.txt
assert r(checksum) == 1429961537
filefilter mixed.txt out5.txt, from("\195d\169d") to("e")
assert r(occurrences) == 2 & r(bytes_to) == 44
quietly checksum out5.txt
assert r(checksum) == 1882318966
filefilter bytes.dat out6.dat, from("\255d") to("\000d\000d")
assert r(occurrences) == 1 & r(bytes_to) == 257
quietly checksum out6.dat
assert r(checksum) == 2281912309
* a sequence that straddles the first read block's end, and one in every line
hexdump big.txt, from(1048570) length(10)
filefilter big.txt bigout.txt, from("row104858") to("X")
assert r(occurrences) == 1 & r(bytes_from) == 2000000 & r(bytes_to) == 1999992
quietly checksum bigout.txt
assert r(checksum) == 1438237974
filefilter big.txt bigout.txt, from("\nrow") to("|") replace
assert r(occurrences) == 199999 & r(bytes_to) == 1400003
quietly checksum bigout.txt
assert r(checksum) == 742621344
* errors: the target exists, the same file, a missing file, bad patterns
cap noi filefilter mixed.txt out1.txt, from(a) to(b)
assert _rc == 602
cap noi filefilter mixed.txt mixed.txt, from(a) to(b) replace
assert _rc == 198
cap noi filefilter nosuch.txt out9.txt, from(a) to(b)
assert _rc == 601
cap noi filefilter mixed.txt out9.txt, from("\z") to(b)
assert _rc == 198
cap noi filefilter mixed.txt out9.txt, from("\256d") to(b)
assert _rc == 198
cap noi filefilter mixed.txt out9.txt, from("") to(b)
assert _rc == 198
cap noi filefilter mixed.txt out9.txt, to(b)
assert _rc == 198
cap noi filefilter mixed.txt out9.txt, from(a)
assert _rc == 198
cap noi filefilter mixed.txt out9.txt, from(a) to(b) nosuch
assert _rc == 198
cap noi filefilter mixed.txt, from(a) to(b)
assert _rc == 100
* nothing was written by the refused commands
cap checksum out9.txt
assert _rc == 601
* --- hexdump
hexdump mixed.txt
assert r(filelen) == 46
hexdump bytes.dat, from(240) length(100)
hexdump bytes.dat, length(20)
hexdump empty.txt
hexdump mixed.txt, analyze
assert r(filelen) == 46 & r(lf) == 2 & r(crlf) == 2 & r(cr) == 1 & r(tab) == 1
assert r(nul) == 0 & r(ctrl) == 0 & r(highbit) == 4 & r(istext) == 1
assert "`r(lineends)'" == "mixed"
hexdump bytes.dat, analyze
assert r(filelen) == 256 & r(lf) == 1 & r(crlf) == 0 & r(cr) == 1 & r(tab) == 1
assert r(nul) == 1 & r(ctrl) == 29 & r(highbit) == 128 & r(istext) == 0
quietly hexdump out1.txt, analyze
assert r(lf) == 4 & r(crlf) == 0 & r(cr) == 1
quietly hexdump big.txt, analyze
assert r(lf) == 200000 & "`r(lineends)'" == "LF" & r(istext) == 1
cap noi hexdump nosuch.txt
assert _rc == 601
cap noi hexdump mixed.txt, from(-1)
assert _rc == 198
cap noi hexdump mixed.txt, length(0)
assert _rc == 198
cap noi hexdump mixed.txt, length(x)
assert _rc == 198
cap noi hexdump mixed.txt, nosuch
assert _rc == 198
