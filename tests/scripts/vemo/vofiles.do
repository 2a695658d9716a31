* Vemo object files and libraries: vosave, vlib create/add/index/query,
* autoloading from a library and from a .vo file, the file layout, the
* library-name rules and a member from a newer release that is skipped
global S_ADO "."
vemo
real scalar twice(real scalar x) { return(2*x) }
real scalar thrice(real scalar x) { return(3*x) }
string scalar hello(string scalar s) { return("hi " + s + sprintf(" %g", twice(1.5))) }
end
cap noi vemo vosave twice()
di _rc
vemo vosave thrice()
cap noi vemo vosave twice()
di _rc
cap noi vemo vosave nosuch()
di _rc
cap noi vemo vosave twice, replace
di _rc
cap noi vemo vosave twice, bogus
di _rc
cap noi vemo vlib create abc
di _rc
cap noi vemo vlib create lvemoabc
di _rc
vemo vlib OFFICIAL
cap noi vemo vlib create lvemoabc
di _rc
vemo vlib USER
cap noi vemo vlib create lmine
di _rc
cap noi vemo vlib create lmine
di _rc
cap noi vemo vlib add lmine hello twice
di _rc
cap noi vemo vlib add lmine twice
di _rc
cap noi vemo vlib add lnone twice
di _rc
cap noi vemo vlib add lmine nosuch
di _rc
cap noi vemo vlib bogus
di _rc
vemo vlib index
vemo vlib query
vemo
// the .vo file: a 98-byte header and both copies of the one member
fh = fopen("twice.vo", "r")
h = fread(fh, 16)
ascii(h)
fseek(fh, 0, -1)
strlen(fread(fh, 100000))
fclose(fh)
// the library header is 20516 bytes, the members follow
fh = fopen("lmine.vlib", "r")
b = ascii(fread(fh, 16))
b[(5, 7, 9, 13, 14)]
fseek(fh, 0, -1)
strlen(fread(fh, 100000))
fclose(fh)
end
vemo clear
vemo: hello("you")
vemo clear
vemo: twice(4)
vemo describe
* a member made by a newer release (930) is not loaded
vemo
fh = fopen("thrice.vo", "rw")
fseek(fh, 114, -1)
fwrite(fh, char((162, 3, 162, 3, 0, 0)))
fclose(fh)
end
vemo clear
cap noi vemo: thrice(4)
di _rc
* a file that is not a library
vemo
fh = fopen("lbad.vlib", "w")
fwrite(fh, "not a library at all")
fclose(fh)
end
cap noi vemo vlib add lbad twice
di _rc
