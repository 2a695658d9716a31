* confirm: silent on success, a message and a code otherwise, so that
* programs can branch on _rc
set obs 3
generate double x = _n
generate str5 s = "a"
generate byte b = 1
confirm variable x s
confirm var x
capture confirm variable nosuch
display _rc
confirm numeric variable x b
capture noisily confirm numeric variable s
display _rc
confirm string variable s
capture noisily confirm string var x
confirm double variable x
confirm byte variable b
capture noisily confirm float variable x
confirm str5 variable s
confirm str variable s
confirm new variable y z
capture noisily confirm new variable x
display _rc
capture noisily confirm new variable 1bad
display _rc
* files
confirm new file newfile.txt
capture noisily confirm file newfile.txt
display _rc
file open fh using newfile.txt, write binary
file close fh
confirm file newfile.txt
confirm file "newfile.txt"
capture noisily confirm new file newfile.txt
display _rc
capture noisily confirm new file nosuchdir/f.txt
display _rc
* numbers
confirm number 12
confirm number -1.5e3
confirm number .
confirm number .b
confirm integer number 42
capture noisily confirm number 12abc
display _rc
capture noisily confirm integer number 1.5
display _rc
capture noisily confirm number 0x10
display _rc
capture noisily confirm number
display _rc
* results, formats, names
matrix A = (1, 2)
scalar sc = 3
confirm matrix A
capture noisily confirm matrix B
display _rc
confirm scalar sc
capture noisily confirm scalar nosc
display _rc
confirm format %9.2f
confirm format %-12s
capture noisily confirm format %q
display _rc
confirm names a b_c _d
capture noisily confirm names a 2b
display _rc
confirm existence something
capture noisily confirm existence
display _rc
capture noisily confirm nothing x
display _rc
* a program that checks its argument
program define needx
  capture confirm numeric variable `1'
  if _rc {
    display as error "`1' must be a numeric variable"
    exit 109
  }
  display "ok: `1'"
end
needx x
capture noisily needx s
display _rc
