* The underscore file built-ins return -3601 for a handle that names no open
* file (the plain forms stop with 3601); opening a missing file for
* read/write is 603 (-603 from _fopen); round() halves go up, as in the
* command language
vemo
_fclose(7)
_fget(7)
_fgetnl(7)
_fput(7, "a")
_fread(7, 3)
_fwrite(7, "a")
_fseek(7, 0, -1)
_ftruncate(7)
_fputmatrix(7, (1, 2))
_fgetmatrix(7)
_fclose(-1), _fclose(1.5), _fclose(50)
end
capture noisily vemo: fclose(7)
display _rc
capture noisily vemo: fget(7)
display _rc
capture noisily vemo: fh = fopen("missing.txt", "rw")
display _rc
vemo: _fopen("missing.txt", "rw"), _fopen("missing.txt", "r")
vemo
fh = fopen("there.txt", "w")
fput(fh, "line one")
fclose(fh)
fh = fopen("there.txt", "rw")
fget(fh)
fclose(fh)
round(-2.5), round(-0.5), round(0.5), round(2.5), round(-3.5)
round(-2.25, 0.5), round(7, 0), round(-7.5, -5), round(., 2), round(.a)
end
display round(-2.5), round(-7.5, -5)
