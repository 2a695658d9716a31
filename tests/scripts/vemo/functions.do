* Vemo functions: arguments by reference, optional arguments, declarations, notes, strictness
vemo
void addone(x) {
  x = x + 1
}
y = 1
addone(y)
y
addone(y+1)
y
real scalar twice(real scalar x) {
  return(2*x)
}
twice(21)
twice((1,2))
twice("a")
function opt(a, | b, c) {
  if (args() == 1) return(a)
  if (args() == 2) return(a + b)
  return(a + b + c)
}
opt(1)
opt(1, 2)
opt(1, 2, 3)
opt()
opt(1, 2, 3, 4)
function withopt(real scalar a, | real scalar b) {
  return(b)
}
withopt(1)
string scalar greet(string scalar who) {
  return("hello " + who)
}
greet("world")
greet(1)
function decl() {
  real scalar a, b
  string matrix s
  a = 1; b = 2; s = "x"
  return(a + b)
}
decl()
function notes(a, b, f()) {
  c = 1
  d = e
  pragma unused b
  return(a)
}
function apply(f(), x) {
  return(f(x))
}
apply(&twice(), 4)
real scalar fact(real scalar n) {
  if (n <= 1) return(1)
  return(n * fact(n - 1))
}
fact(10)
function retvoid() {
}
retvoid()
void novalue() {
  return(1)
}
novalue()
real rowvector rv() {
  return((1\2))
}
rv()
function twice() return(0)
function abs(x) return(x)
external real scalar counter
counter = 5
function bump() {
  external real scalar counter
  counter = counter + 1
}
bump()
bump()
counter
end
set vemostrict on
vemo
function strict1(a) {
  real scalar b
  b = a
  c = b
  return(c)
}
function strict2(a) {
  real scalar b
  b = a
  return(b)
}
strict2(3)
end
set vemostrict off
vemo
function loose(a) {
  c = a
  return(c)
}
loose(4)
end
