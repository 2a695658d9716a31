* program definition, listing, dropping
program define hi
  display "a   b"
    display  1
end
program list hi
hi
capture noisily program define hi
program drop hi
capture noisily hi
program hello, rclass
  args first second
  display "first=`first' second=`second'"
end
hello one two three
program list hello
* comment lines are not stored
program define withcomments
  * a comment
  display "body"
end
program list withcomments
program dir
program drop _all
program dir
capture noisily program drop nosuch
capture noisily program list nosuch
* arguments: local 0 and words, quotes stripped
program define showargs
  display `"0=[`0']"'
  display `"1=[`1'] 2=[`2'] 3=[`3']"'
end
showargs a "b c" `"d "e""'
* a program level has its own locals
local outer kept
program define ownlocals
  display "[`outer']"
  local outer changed
end
ownlocals
display "`outer'"
* exit ends only the program
program define early
  display "before"
  exit
  display "after"
end
early
* a failing line ends the program with its code
program define fails
  display "one"
  global 9x y
  display "two"
end
capture noisily fails
display "rc handled"
* version
version
version 8
version
version 9.2
capture noisily version 10
capture noisily version 9.3
version 8: version
version
capture noisily version 8 display
version 9.2, born(01jan2020)
capture noisily version 9.2, born(01jan2099)
capture noisily version 9.2, born(99xyz2020)
capture noisily version 9.2, other
* which
which display
which di
which display, all
capture noisily which nosuchcommand
capture noisily which foo.xyz
* a name of the command table that this build has no handler for
capture noisily which printgr
display _rc
* sysdir
sysdir set PLUS "/tmp/plus"
display "`:sysdir PLUS'"
capture noisily sysdir set ZELTA /tmp
* tempname and tempvar give distinct names; tempfile gives a path
program define temps
  tempname a b
  display "`a'" != "`b'"
  tempfile f
  display "`f'" != ""
end
temps
* trace
program define traced
  local x 1
  display "x=`x'"
end
set trace on
traced
set traceexpand off
set tracesep off
traced
set tracesep on
set traceexpand on
program define outer
  inner
end
program define inner
  display "in"
end
set tracenumber on
outer
set tracedepth 1
outer
set tracenumber off
set tracedepth 32000
set tracehilite "display"
inner
set trace off
capture noisily set tracedepth 0
