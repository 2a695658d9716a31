* Vemo distribution, special and date built-ins: element by element over
* c-conformable arguments
vemo
normal((0, 1.959963985))
normalden(0)
invnormal((.5, .975))
chi2tail(2, (5.991464547, 0))
ttail(10, 2.228138852)
Ftail(2, 10, 4.102821015)
binormal(0, 0, 0)
lngamma(5), lnfactorial(4), comb(5, 2), digamma(1)
ibeta(1, 1, .3)
gammap(1, 1)
normal((-1,2)) :< .5
chi2((1\2), (1,2))
chi2((1,2), (1,2,3))
normal("a")
normal()
mdy(1, 1, 1960)
mdy((1\2), 1, 2000)
dow(0), year(mdy(7,4,1976)), month(15000), day(15000)
dofm(1), mofd(31), yq(2000, 1), dofq(160)
mod((7, -7), 3)
end
