* Scalar loops run fused instructions; every case below leaves them for
* the instructions' own path part way, and must give the same results
vemo
function acc(n, step) {
  s = 0
  for (i = 1; i <= n; i++) s = s + step
  return(s)
}
acc(4, 2)
acc(4, 1i)
acc(3, (1, 2))
acc(0, 5)
acc(4, .)
acc(3, "a")
function grow(n) {
  s = 0
  for (i = 1; i <= n; i++) {
    if (i == 3) s = (s, s)
    s = s + 1
  }
  return(s)
}
grow(2)
grow(4)
function divs(n) {
  s = 1
  for (i = 0; i < n; i++) s = s / i
  return(s)
}
divs(3)
function big(n) {
  s = 1e307
  for (i = 1; i <= n; i++) s = s * 10
  return(s)
}
big(1)
big(2)
function down(n) {
  k = 0
  for (i = n; i > 0; i--) k = k - 1
  return(k)
}
down(5)
down(-1)
function lim(n) {
  k = 0
  for (i = 1; i <= n; i++) k = k + 1
  return(k)
}
lim(3.5)
lim(0)
function setarg(x) {
  x = x + 10
  return(x)
}
setarg(1 == 1)
1 == 1
2 == 3
function incarg(x) {
  for (j = 1; j <= 2; j++) x++
  return(x)
}
incarg(1 == 1)
1 == 1
a = 5
setarg(a)
a
function cmps(x, y) {
  r = J(1, 6, 0)
  if (x == y) r[1] = 1
  if (x != y) r[2] = 1
  if (x < y) r[3] = 1
  if (x <= y) r[4] = 1
  if (x > y) r[5] = 1
  if (x >= y) r[6] = 1
  return(r)
}
cmps(1, 2)
cmps(2, 2)
cmps(., 2)
cmps(.a, .)
cmps("a", "b")
cmps((1,2), (1,2))
cmps((1,2), (1,3))
end
