* Vemo run-time tracebacks with line numbers (set vemolnum on): the lines
* are this file's own; without vemolnum no line is shown
set vemolnum on
vemo
function inner(x) {
  y = x
  /* a comment
     over two lines */
  return(y +
    "a")
}
function middle(x) {
  if (x > 0) {
    return(inner(x))
  }
  return(0)
}
middle(1)
middle(0)
function twice(a, b) return(a*b)
twice(1, 2, 3)
function loopy(n) {
  for (i = 1; i <= n; i++) {
    if (i == 3) return((1,2) + (1,2,3))
  }
  return(n)
}
loopy(2)
loopy(5)
end
* one statement on a command line: the line of that command
capture noisily vemo x = middle(1)
di _rc
* a program's lines have no file numbering: counted from the statement
program define tbprog
  vemo: function inprog(x) { return(x + "b") }
  vemo: inprog(1)
end
capture noisily tbprog
di _rc
set vemolnum off
vemo
function inner2(x) {
  return(x + "a")
}
inner2(1)
end
