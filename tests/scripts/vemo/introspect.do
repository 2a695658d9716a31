* Vemo introspection built-ins: instruction counts, the bytes of doubles,
* reference counts and the memory figures, with their errors. The bytes of
* 1 and -2.5 (IEEE 754, little-endian): 00 00 00 00 00 00 f0 3f and
* 00 00 00 00 00 00 04 c0; the missing value is 2^1023, 00 .. 00 e0 7f.
vemo
real scalar f1(real scalar a) return(a + 1)
real scalar f2(real scalar a) {
  real scalar b
  b = a * 2
  b = b + 1
  return(b)
}
opcount("f1") > 0
opcount("f2") > opcount("f1")
opcount(&f1()) == opcount("f1")
opcount("nosuchfunction")
opcount(1)
opcount(("f1","f2"))
_testflopin(1)
_testflopin((1, -2.5))
_testflopin(J(0,3,.))
_testflopout(_testflopin((1, -2.5 \ 1e300, -0)))
_testflopin(.)
_testflopout((0,0,0,0,0,0,224,127)) == .
_testflopout((1,2,3))
_testflopout((0,0,0,0,0,0,256,0))
_testflopout((0,0,0,0,0,0,.5,0))
_testflopin("a")
sys_linkcount(J(2,2,0))
real scalar links() {
  real matrix z
  pointer scalar p, q
  z = (1, 2)
  printf("%g ", sys_linkcount(z))
  p = &z
  printf("%g ", sys_linkcount(z))
  q = &z
  printf("%g ", sys_linkcount(z))
  p = NULL
  printf("%g\n", sys_linkcount(z))
  return(0)
}
(void) links()
sys_memory(1)
end
vemo clear
vemo: big = J(100, 100, 1)
vemo: mem = J(1, 11, 0)
vemo memory
vemo: mem = sys_memory()
vemo: mem[(1,2,3,4,5)] == (`r(Nf_al)', `r(Nf_ado)', `r(Nf_def)', `r(Nm)', `r(Ntotal)')
vemo: mem[(6,7,8,9)] == (`r(Mf_al)', `r(Mf_ado)', `r(Mf_def)', `r(Mm)')
vemo: mem[10] == `r(Moh)', mem[11] == `r(Mtotal)'
vemo: mem[9] >= 100*100*8
