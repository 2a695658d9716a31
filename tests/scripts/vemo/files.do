* Vemo file built-ins: handles and modes, lines and bytes, matrix files,
* paths, with the error codes; then handles that name no open file
vemo
fh = fopen("a.txt", "w")
fput(fh, "first line")
fwrite(fh, "second")
fput(fh, " line")
fclose(fh)
fopen("a.txt", "w")
_fopen("a.txt", "w")
fopen("a.txt", "x")
_fopen("a.txt", "x")
fopen("nosuch.txt", "r")
_fopen("nosuch.txt", "r")
fh = fopen("a.txt", "r")
fget(fh)
fgetnl(fh)
rows(fget(fh)), fstatus(fh)
fput(fh, "x")
_fput(fh, "x")
fseek(fh, 6, -1)
fread(fh, 4)
fclose(fh)
fclose(fh)
fget(60)
fh = fopen("a.txt", "a")
fput(fh, "third")
fseek(fh, 0, -1)
fget(fh)
fclose(fh)
fh = fopen("a.txt", "rw")
fseek(fh, 0, 1)
fput(fh, "fourth")
fseek(fh, 0, -1)
while ((s = fget(fh)) != J(0, 0, "")) s
fclose(fh)
for (i = 1; i <= 50; i++) h = fopen("a.txt", "r")
_fopen("a.txt", "r")
vemo clear
end
vemo
function f() { return(1) }
fh = fopen("m.bin", "w")
x = (1, 2 \ 3, .a)
fputmatrix(fh, x)
fputmatrix(fh, ("a", "" \ "ccc", "d"))
fputmatrix(fh, 1 + 2i)
p = (&x, &x, NULL)
fputmatrix(fh, p)
fputmatrix(fh, &f())
fclose(fh)
fh = fopen("m.bin", "r")
fgetmatrix(fh)
fgetmatrix(fh)
fgetmatrix(fh)
q = fgetmatrix(fh)
*q[1]
q[1] == q[2], q[3] == NULL
fgetmatrix(fh) == NULL
rows(fgetmatrix(fh)), cols(fgetmatrix(fh))
fclose(fh)
fh = fopen("bad.bin", "w")
fwrite(fh, "VOTOP")
fclose(fh)
fh = fopen("bad.bin", "r")
fgetmatrix(fh)
fseek(fh, 0, -1)
_fgetmatrix(fh)
fclose(fh)
unlink("bad.bin")
fileexists = _fopen("bad.bin", "r")
fileexists
pathbasename("/a/b/c.ado"), pathsuffix("/a/b/c.ado"), pathrmsuffix("c.tar.gz")
pathjoin("/a/b", "c"), pathjoin("/a/b/", "/d"), adosubdir("Mine.ado")
pathisabs("/x"), pathisabs("x"), pathisurl("https://x"), pathzeltasuffix("a.dta"), pathasciisuffix("a.dta")
direxists("."), direxists("nosuch")
_mkdir("sub"), direxists("sub")
dir(".", "dirs", "s*")
dir(".", "files", "*.txt")
_rmdir("sub"), direxists("sub")
end
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
