* postfile, post, postclose and postutil: a simulation loop posting into a
* file, the storage types and their conversions, buffering, every message.
postfile sim str8 run int rep mean sd using sims, double
forvalues r = 1/5 {
  quietly set obs 0
  quietly set obs 20
  quietly generate x = `r' * _n
  quietly summarize x
  post sim ("run `r'") (`r') (r(mean)) (r(sd))
  drop x
}
postutil dir
postutil describe sim
postclose sim
use sims, clear
describe
list

* Two float variables and one observation; each type's conversions.
postfile h a b using two, replace
post h (1) (2)
postclose h
use two, clear
describe, short
list
postfile h byte b int i long l float f double d str5 s using types, replace
post h (300) (40000) (.b) (1e39) (1/3) ("abcdefgh")
post h (-3.7) (-32767.5) (2147483620.9) (.z) (.) ("ab")
post h (100) (32740) (-2147483647) (-1.5) (2^1023) ("")
post h (-127.9) (-32767) (2147483620) (16777217) (-0) (string(42))
post h (.a) (.a) (.a) (.a) (.a) ("x" + "yz")
postclose h
use types, clear
describe
list
display %21x d[2] "  " %21x f[4]
count if b == .a & i == .a & l == .a & f == .a & d == .a

* Expressions see observation 1 of the data in memory, which stays as it was.
clear
set obs 3
generate y = 10 * _n
postfile h y2 yn using seeobs, replace
post h (y) (y[3] + _N)
postclose h
list y
use seeobs, clear
list

* A small buffer: rows go to the file as it fills; the target is written
* only when the handle closes.
postfile h k using buffered, every(2) replace
forvalues i = 1/7 {
  post h (`i')
}
postutil d h
cap noi use buffered, clear
display _rc
postclose h
use buffered, clear
summarize k
postfile h k using two, replace
post h (99)
use two, clear
list
postclose h
use two, clear
list

* A failing post keeps the rows posted before and closes the handle.
postfile h a b c using partial, replace
post h (1) (2) (3)
post h (4) (5) (6)
cap noi post h (7) (8)
display _rc
cap noi post h (7) (8) (9)
display _rc
use partial, clear
list
postfile h a b c using partial, replace
post h (1) (2) (3)
cap noi post h (1) (2) (3) (4)
display _rc
use partial, clear
list
postfile h a str3 s using partial, replace
post h (1) ("x")
cap noi post h ("one") ("y")
display _rc
postfile h a str3 s using partial, replace
cap noi post h (1) (2)
display _rc
postfile h a str3 s using partial, replace
cap noi post h (1) (nosuchvar)
display _rc
postfile h a str3 s using partial, replace
cap noi post h (1 +) ("z")
display _rc
postfile h a b using partial, replace
cap noi post h 1 2
display _rc
postfile h a b using partial, replace
cap noi post h (1) (2
display _rc
version 6
postfile h a b using partial, replace
post h 1 2
post h (3) 4
postclose h
version 9.2
use partial, clear
list

* Declaration errors.
postfile h x using taken, replace
cap noi postfile h y using other
display _rc
postclose h
cap noi postfile h2 x using taken
display _rc
cap noi postfile h2 x x using f2
display _rc
cap noi postfile h2 a b a using f2
display _rc
cap noi postfile h2 _all using f2
display _rc
cap noi postfile h2 using f2
display _rc
cap noi postfile h2 x using f2, every(0)
display _rc
cap noi postfile h2 x using f2, every(-3)
display _rc
cap noi postfile h2 x using f2, nosuch
display _rc
cap noi postfile h2 x
display _rc
cap noi postfile 2h x using f2
display _rc
cap noi postfile h2 x 2y using f2
display _rc
cap noi postfile h2 double (x y using f2
display _rc
cap noi postfile h2 x using nofolder/f2
display _rc
local names
forvalues i = 1/135 {
  local names `names' v`i'
}
cap noi postfile h2 str244 (`names') using f2
display _rc
cap noi postfile h2 byte (`names') using f2
display _rc
postclose h2
display c(maxvar)
forvalues i = 136/`c(maxvar)' {
  local names `names' v`i'
}
cap noi postfile h2 byte (`names') using f2
display _rc
cap noi post nosuch (1)
display _rc
cap noi postclose nosuch
display _rc
cap noi postutil describe nosuch
display _rc
cap noi postutil frob
display _rc
postutil dir

* post is refused under by; postutil clear writes and forgets every handle.
postfile h1 a using c1, replace
postfile h2 b using c2, replace
clear
set obs 2
generate g = _n
cap noi by g: post h1 (1)
display _rc
post h1 (11)
post h2 (22)
postutil dir
postutil clear
postutil dir
use c1, clear
list
use c2, clear
list
