* Matrix files keep structures and pointers: a structure that points to
* itself is written once (the second visit as a key) and read back with the
* cycle restored
vemo
struct mfnode { real scalar v; pointer scalar next }
function mfsave(string scalar fn) {
  struct mfnode scalar a
  a.v = 5
  a.next = &a
  fh = fopen(fn, "w")
  fputmatrix(fh, a)
  fclose(fh)
  a.next = NULL  // break the cycle
}
function mfload(string scalar fn) {
  struct mfnode scalar b
  pointer(struct mfnode scalar) scalar p, q
  fh = fopen(fn, "r")
  b = fgetmatrix(fh)
  fclose(fh)
  p = b.next
  q = p->next
  r = (b.v, p->v, p == q)
  // a cycle outlives its last reference: break it
  p->next = NULL
  return(r)
}
mfsave("cyc.mat")
mfload("cyc.mat")
end
* the written file: markers, the structure's definition by name, the cycle as a key
vemo: fh = fopen("cyc.mat", "r"); s = fread(fh, 1000); fclose(fh); strlen(s), strpos(s, "mfnode"), strpos(s, "KEY")
* without its definition a structure cannot be read back
vemo clear
vemo: fh = fopen("cyc.mat", "r"); _fgetmatrix(fh); fclose(fh)
* a truncated file is a format error
vemo: fh = fopen("cyc.mat", "r"); s = fread(fh, 60); fclose(fh); fh = fopen("cut.mat", "w"); fwrite(fh, s); fclose(fh)
vemo: struct mfnode { real scalar v; pointer scalar next }
vemo: fh = fopen("cut.mat", "r"); _fgetmatrix(fh); fclose(fh)
