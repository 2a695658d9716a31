* Code read from an object file or a library is followed before it runs:
* a function that would pop below its frame, read a slot before it is made,
* reach one instruction with two stack depths, run off its end, or read a
* slot early through a fused compare is refused with a message naming the
* fault, and the call fails as for a function not found (3499)
global S_ADO "."
vemo
// words as bytes, least significant first
string scalar w4(real rowvector w) {
	real scalar i, x
	string scalar s
	s = ""
	for (i = 1; i <= cols(w); i++) {
		x = w[i]
		if (x < 0) x = x + 4294967296
		s = s + char((mod(x, 256), mod(floor(x / 256), 256), mod(floor(x / 65536), 256), floor(x / 16777216)))
	}
	return(s)
}
// a file with room for cap members holding one, function name, whose code is
// the release words, body and empty literal pools (opcodes 38 and 39)
void mkfile(string scalar file, real scalar cap, string scalar name, real rowvector body) {
	real rowvector code, offs
	real scalar fh, off, rc
	code = (920, 920, body, 38, 0, 39, 0)
	off = 16 + 41 * cap
	offs = J(1, cap, 0)
	offs[1] = off
	rc = _unlink(file)
	fh = fopen(file, "w")
	// signature, low byte first, version 3, one member
	fwrite(fh, char((129, 146, 167, 185, 2, 0, 3, 0)) + w4((1, cap)))
	// the offsets of each byte order (both at the one copy), then the names
	fwrite(fh, w4((offs, offs)) + name + char(J(1, 33 * cap - strlen(name), 0)))
	// member: bytes, words, return type, organization 0, kind 2, release 920
	fwrite(fh, w4((4 * cols(code), cols(code), 0)) + char((0, 0, 2, 0, 152, 3)) + w4(code))
	fclose(fh)
}
// good(x): opnarg 1, oppush 0, opld1, opplus, opreturn
mkfile("good.vo", 2, "good", (4, 1, 7, 0, 80, 32, 3))
// under(): opnarg 0, oppop, opldvoid, opreturn
mkfile("under.vo", 2, "under", (4, 0, 2, 42, 3))
// early(x): opnarg 1, oppush 1, then opalc_rs "i" makes slot 1, opreturn
mkfile("early.vo", 2, "early", (4, 1, 7, 1, 105, 1, 105, 3))
// join(): opnarg 0, opld1, opbrfalse 8, opld0, (8) opldvoid, opreturn
mkfile("join.vo", 2, "join", (4, 0, 80, 10, 8, 79, 42, 3))
// grow(): opnarg 0, (4) opld0, opgoto 4
mkfile("grow.vo", 2, "grow", (4, 0, 79, 1, 4))
// offend(): opnarg 0, opldvoid, and then the pools
mkfile("offend.vo", 2, "offend", (4, 0, 42))
// fused(x): opnarg 1, opfindf "good", oppop, (12) oppush 0, oppush 1, opee,
// opbrfalse 19, (19) opldvoid, opreturn: the second push reads the copy the
// first made, which the VM's fused compare reads before any push
mkfile("fused.vo", 2, "fused", (4, 1, 138, 0, 0, 0, 2, 1685024615, 0, 2, 7, 0, 7, 1, 14, 10, 19, 42, 3))
// fused2(x): the same comparing x with itself
mkfile("fused2.vo", 2, "fused2", (4, 1, 138, 0, 0, 0, 2, 1685024615, 0, 2, 7, 0, 7, 0, 14, 10, 19, 42, 3))
// opt(x, |y): oparg2 1 2, oppush 1, opreturn: no local made for y
mkfile("opt.vo", 2, "opt", (35, 1, 2, 7, 1, 3))
// opt2(x, |y): the same with opolc_rs 2 "y" making it
mkfile("opt2.vo", 2, "opt2", (35, 1, 2, 131, 2, 1, 121, 7, 1, 3))
// a library whose member calls with more arguments than it pushed:
// opnarg 0, opfindf "good", opld1, opcall 0 2, opreturn
mkfile("lstk.vlib", 500, "inlib", (4, 0, 138, 0, 0, 0, 2, 1685024615, 0, 80, 25, 0, 2, 3))
end
vemo: good(41)
cap noi vemo: under()
di _rc
cap noi vemo: early(1)
di _rc
cap noi vemo: join()
di _rc
cap noi vemo: grow()
di _rc
cap noi vemo: offend()
di _rc
cap noi vemo: fused(1)
di _rc
vemo: fused2(1)
cap noi vemo: opt(1)
di _rc
vemo: opt2(1)
vemo: opt2(1, 2)
* nothing was left behind: the second call is refused the same way
cap noi vemo: under()
di _rc
vemo vlib index
cap noi vemo: inlib()
di _rc
* the library member with its call fixed loads and runs
vemo
mkfile("lstk.vlib", 500, "inlib", (4, 0, 138, 0, 0, 0, 2, 1685024615, 0, 80, 25, 0, 1, 3))
end
vemo: inlib()
