* Vemo compile-time messages and run-time errors with tracebacks
vemo
x = (1,
2
x = 1 +
end
vemo
x = "abc
x = 1 2
x = )
y = (1,2]
return x
z = 3
z
break
goto nowhere
function lbl() {
abcdefgh:
}
function lbl7() {
abcdefg:
  goto abcdefg
}
function unk() {
  goto missing
}
for (;;) x = 1
x = [1]
1 = x
f(1)(2)
&abs()
version 8
version 9.2
pragma frobnicate x
pragma unused nosuch
function dup(a, a) return(a)
real scalar g( { }
function h(a) { real scalar abs }
function h2(a) { real scalar a }
function h3(a, |b()) return(1)
x = 1; x++ ; x
++1
x = -"a"
x = !"a"
y = ("a" ? 1 : 2)
y = (1 ? 2 )
function level3(x) {
  return(x + "a")
}
function level2(x) {
  return(level3(x))
}
function level1(x) {
  return(level2(x))
}
level1(1)
nosuch(1)
nosuchvar + 1
function argc(a, b) {
  return(a)
}
argc(1)
argc(1, 2, 3)
error(3300)
_error(3498, "my own message")
function quiet() {
  exit(0)
  "not reached"
}
quiet()
wrongcount = _ghk(1)
x[1
end
di "block ended"
