* vemo memory: counts and bytes of what the Vemo store holds, in r()
vemo clear
vemo memory
vemo
# memory
x = 1
A = J(3, 4, 0)
s = ("ab", "cde")
function f(a) return(a + 1)
end
quietly vemo memory
* A holds 12 doubles (96 bytes); s two strings of 2 and 3 bytes, each with
* a 4-byte length and a NUL (15 bytes); x and the slots of s sit in their
* records, counted as overhead
di r(Nf_al), r(Nf_ado), r(Nf_def), r(Nm), r(Ntotal)
di r(Mm), r(Mf_def)
assert r(Mtotal) == r(Mf_al) + r(Mf_ado) + r(Mf_def) + r(Mm) + r(Moh)
assert r(Moh) > 0
quietly vemo_memory
di r(Nm)
vemo drop A
quietly vemo memory
di r(Nm), r(Mm)
vemo clear
quietly vemo memory
di r(Ntotal), r(Mtotal)
capture noisily vemo memory extra
di _rc
