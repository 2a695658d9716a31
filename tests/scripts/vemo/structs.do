* Vemo structures and pointers
vemo
struct point {
  real scalar x, y
  string scalar label
  real rowvector tags
}
function origin() {
  struct point scalar p
  p.label = "origin"
  p.x = 0
  p.y = 0
  return(p)
}
p = origin()
function describe(struct point scalar p) {
  printf("%s at (%g, %g), %g tags\n", p.label, p.x, p.y, cols(p.tags))
}
describe(p)
function fresh() {
  struct point scalar q
  return(q.x)
}
fresh()
function moveby(struct point scalar p, real scalar dx) {
  p.x = p.x + dx
  p.tags = (p.tags, dx)
}
moveby(p, 3)
moveby(p, 4)
describe(p)
function incx(struct point scalar p) {
  p.x++
  ++p.x
  return(p.x)
}
incx(p)
struct pair {
  struct point scalar a, b
}
function mkpair() {
  struct pair scalar r
  r.a.x = 1
  r.b.x = 2
  r.b.label = "second"
  return(r.a.x + r.b.x)
}
mkpair()
function viaptr() {
  struct point scalar s
  pointer(struct point scalar) scalar ps
  ps = &s
  ps->x = 7
  ps->label = "pointed"
  return(s.label + " " + strofreal(s.x))
}
viaptr()
pp = point()
rows(pp), cols(pp)
eltype(pp)
ps = point(2, 3)
rows(ps), cols(ps)
function badmember() {
  struct point scalar s
  return(s.z)
}
function notstruct() {
  real scalar r
  return(r.x)
}
x = 1
px = &x
*px = 2
x
pp2 = &px
**pp2
*px + 1
np = NULL
*np
function sq(x) return(x*x)
f = &sq()
(*f)(3)
f2 = &abs()
end
