* Loops whose bodies are scalar arithmetic alone check their variables once
* on entry and then run without checks; each case must give what the
* checked instructions give, and leave the checks whenever a variable is not
* a real scalar when the loop starts
vemo
function tri(n) {
  s = 0
  for (i = 1; i <= n; i++) s = s + i
  return(s)
}
tri(4)
tri(0)
tri(3.5)
tri(-2)
tri(1i)
tri((1, 2))
tri("a")
tri(4)
function acc(n, step) {
  s = 0
  for (i = 1; i <= n; i++) s = s + step
  return(s)
}
acc(3, 2)
acc(3, .)
acc(3, .a)
acc(3, 1i)
acc(3, "a")
acc(2, (1, 2))
acc(3, -0.5)
function kinds(n, x) {
  s = 1
  for (i = 0; i < n; i++) s = s / x
  t = 1
  for (i = 1; i != n; i++) t = t * 2
  u = 0
  for (i = n; i >= 1; i--) u = u - 1
  v = 0
  for (i = n; i > 0; i--) v = v + 0.25
  return((s, t, u, v))
}
kinds(3, 2)
kinds(3, 0)
kinds(1, .)
function big(n) {
  s = 1e306
  for (i = 1; i <= n; i++) s = s * 10
  return(s)
}
big(1)
big(2)
big(3)
function count(a, b) {
  k = 0
  for (i = a; i <= b; i++) k = k + 1
  return((k, i))
}
count(2147483640, 2147483650)
count(4294967290, 4294967300)
count(-2147483650, -2147483640)
count(1e15, 1e15 + 5)
count(., 3)
function down(n) {
  k = 0
  while (n > 0) {
    n = n - 1
    k = k + 1
  }
  return(k)
}
down(5)
down(0)
a = 3
down(a)
a
function twice(x, y) {
  for (i = 1; i <= 3; i++) x = x + y
  return(x)
}
b = 1
twice(b, b)
b
twice(2, 3)
function nest(n) {
  s = 0
  for (i = 1; i <= n; i++) {
    for (j = 1; j <= i; j++) {
      t = i * j
      s = s + t
    }
  }
  return(s)
}
nest(4)
nest(0)
function change(n) {
  s = 0
  for (i = 1; i <= n; i++) {
    if (i == 3) s = "x"
    else s = s + 1
  }
  return(s)
}
change(2)
change(3)
change(4)
function midway(v) {
  s = 0
  for (i = 1; i <= 4; i++) {
    for (j = 1; j <= 3; j++) s = s + j
    s = s + v[i]
  }
  return(s)
}
midway((1, 2, 3, 4))
midway((1, 2, 3))
function after(n) {
  s = 0
  for (i = 1; i <= n; i++) s = s + i
  return(s + "a")
}
after(3)
end
set vemolnum on
vemo
function lines(n, v) {
  s = 0
  for (i = 1; i <= n; i++) {
    s = s + i
    s = s * 2
  }
  k = 0
  while (k < n) {
    k = k + 1
  }
  return(s + v)
}
lines(3, 1)
lines(3, (1, 2))
lines(0, "a")
after(2)
midway((1, 2))
end
set vemolnum off
