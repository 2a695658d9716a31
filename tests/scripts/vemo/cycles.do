* Objects that refer to themselves (directly or around a ring) are freed
* once nothing outside the cycle reaches them: at vemo drop, at vemo clear,
* and between statements once many such objects have been made
vemo
struct node {
  pointer(struct node scalar) scalar next
  real scalar v
  pointer scalar other
}
void ring(real scalar n) {
  pointer(struct node scalar) rowvector p
  real scalar i
  p = J(1, n, NULL)
  for (i = 1; i <= n; i++) p[i] = &(node())
  for (i = 1; i <= n; i++) {
    p[i]->next = p[mod(i, n) + 1]
    p[i]->v = i
  }
}
void selfref() {
  struct node scalar s
  s.next = &s
}
void link(struct node scalar x, struct node scalar y) x.next = &y
void other(struct node scalar x, y) x.other = &y
real scalar hop(struct node scalar x, real scalar k) {
  pointer(struct node scalar) scalar p
  p = &x
  for (; k > 0; k--) p = p->next
  return(p->v)
}
void setv(struct node scalar x, real scalar v) x.v = v
// each node holds its definition: nodes that are not freed keep the count up
real scalar nodes() {
  pointer scalar f
  f = &node()
  return(sys_linkcount(*f) - 2)
}
void leaky() {
  printf("%g nodes at the start\n", nodes())
  ring(5)
  printf("%g after a ring of five\n", nodes())
  selfref(); selfref()
  printf("%g after two that point at themselves\n", nodes())
  zelta("vemo drop junk")
  printf("%g after vemo drop\n", nodes())
}
junk = 1
leaky()
end
* globals in cycles: one pointing at itself, two pointing at each other, a
* pointer matrix holding its own address, a structure and a pointer matrix
* pointing at each other, a scalar behind a pointer
vemo
a = node()
link(a, a)
setv(a, 7)
hop(a, 5)
b = node()
c = node()
link(b, c)
link(c, b)
setv(b, 1); setv(c, 2)
hop(b, 3)
p = J(1, 2, NULL)
p[1] = &p
p[2] = &(1, 2)
*(*p[1])[2]
q = J(1, 1, NULL)
d = node()
other(d, q)
q[1] = &d
x = 3
px = &x
nodes()
end
* a name is in use only while something besides the names dropped with it
* refers to it
capture noisily vemo drop c
display _rc
capture noisily vemo drop q
capture noisily vemo drop x
vemo: nodes()
vemo drop a
vemo: nodes()
vemo drop b c
vemo drop p d q x px
vemo: nodes()
vemo describe
* a matrix file holding a self-referencing structure, read back into a name
* and as a temporary
vemo
real scalar firstv(struct node scalar x) return(hop(x, 1))
s = node()
link(s, s)
setv(s, 11)
_unlink("cyc.vmat")
fh = fopen("cyc.vmat", "w")
fputmatrix(fh, s)
fclose(fh)
fh = fopen("cyc.vmat", "r")
t = fgetmatrix(fh)
fclose(fh)
hop(t, 3)
fh = fopen("cyc.vmat", "r")
firstv(fgetmatrix(fh))
fclose(fh)
end
vemo drop s t
vemo: nodes()
* many cycles made in one statement are freed after it without a drop
vemo: ring(3000)
vemo: nodes()
vemo: ring(2); ring(2)
vemo clear
vemo describe
