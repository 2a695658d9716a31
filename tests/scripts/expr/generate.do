* generate: types, str#, bare str, labels, ranges, counts, errors
set obs 6
generate x = _n
generate double y = x * 2 if x > 2
generate int k = x * 100 in 2/4
generate byte big = x * 30
generate str3 s = "abcdef"
generate str t = "a" + string(x)
generate u = "z" + substr("abcdef", 1, x)
generate n2 = _N - _n
generate c = sum(x)
generate prev = x[_n-1]
generate last = x in -1
generate lbl:yesno = x > 3
generate neg = -x if x < 0
describe
list
cap noi generate
cap noi generate = 1
cap noi generate a b = 1
cap noi generate x = 1
cap noi generate q = "a" + 1
cap noi generate double q = "a"
cap noi generate str5 q = 1
cap noi generate q
cap noi generate q = nosuch + 1
cap noi generate q = 1 in 0
cap noi generate q = 1 in 3/2
cap noi generate q = 1 in 1/9
cap noi generate q = 1, nosuch
cap noi generate q = _n[1]
generate zz = 1 in f/L
describe zz
* random numbers are drawn for the selected observations, in order
set seed 12
generate double u1 = uniform() if mod(_n, 2)
set seed 12
display uniform()
display uniform()
display uniform()
list u1 in 1/5
set seed 12
generate double u2 = uniform() if uniform() < 2
set seed 12
display uniform()
display uniform()
display u2[1]
