* Vemo built-ins: over whole matrices (shape, reductions, orders, edits),
* then distribution, special and date ones, then strings; with their errors
vemo
rowshape(1..6, 3)
colshape(1..6, 3)
rowshape(1..5, 2)
sizeof(J(2,3,1))
minmax((3,.,-1,7))
minmax((3,.,-1,7), 1)
rowminmax((1,5\.,2))
colminmax((4,2\1,.))
rowmaxabs((-3,2\1,-.5))
colmaxabs((-3,2\1,-5))
order((3,1\1,2\2,0\1,1), (1,2))
order((3,1\1,2\2,0\1,1), -1)
order(("b"\"a"\"c"), 1)
order((1,2), 3)
all((1,2,3)), all((1,0)), any((0,0)), any((0,.))
allof((2,2), 2), allof((2,3), 2), anyof(("a","b"), "b")
anyof((1,2), "b")
rowmissing((1,.\.,.)), rownonmissing((1,.\.,.))
colmissing(("a",""\"","")), colnonmissing((1,.\2,3))
missing((1,.,.a)), nonmissing((1,.,.a))
reldif((1,2), (1.5,2))
mreldif((1,2), (1.5,2))
mreldifsym((1,2\2.5,1))
reldif((1,2), (1\2))
issymmetric((1,2\2,1)), issymmetric((1,2\3,1)), issymmetric((1,2,3))
X = (1,2\3,4)
_transpose(X)
X
_diag(X, (9\8))
X
_makesymmetric(X)
X
Y = (1,.\.,4)
_editmissing(Y, 0)
Y
_editvalue(Y, 4, -4)
Y
_fillmissing(Y)
Y
a = 1; b = "b"
swap(a, b)
a
b
select((1,2\3,4\5,6), (1\0\1))
select((1,2,3), (0,1,1))
select((1,2\3,4), (1,1,1))
atan2(1, 0), asinr(1), acosr(2)
factorial((0,5,-1,2.5))
arg(1i)
x = findexternal("X")
*x
p = crexternal("newg")
rows(*p), cols(*p)
crexternal("newg") == NULL
direxternal("new*")
rmexternal("newg")
findexternal("newg") == NULL
timer_clear(); timer_on(3); timer_off(3); timer_value(3)[2]
timer_on(101)
byteorder()
minindex((5,1,3,1), 2, i = ., w = .)
i, (1\1\1)
w
isview(X), isfleeting(X)
end
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
* Vemo string built-ins and the element-wise forms of the expression functions
vemo
strlen(("abc", ""))
strupper("aBc"), strlower("AbC")
strtrim("  a b  "), strltrim("  a"), strrtrim("a  ")
"[" + stritrim("a   b    c") + "]"
strpos("banana", "na"), strpos(("ab","ba"), "a")
indexnot("aab", "a")
subinstr("a.b.c", ".", "-", 1), subinstr("a.b.c", ".", "-", .)
subinword("the cat the", "the", "a", .)
strproper("hello world"), strreverse("abc")
strmatch("abc", "a*"), strmatch("abc", "b*")
regexm("abc123", "[0-9]+")
regexs(0)
regexr("abc123", "[0-9]+", "#")
substr("hello", 2, 3), substr("hello", -2, .)
ascii("AZ")
char((104, 105, 300))
tokens("a bb  ccc")
tokens("x,y", ",")
cols(tokens(""))
_strtoreal(("1.5", "x", " 2 ", ".b"), R = .)
R
strofreal((1.5, 1e20)), strofreal(3.14159, "%5.2f")
strofreal(1, "%bad")
strlen(1)
strupper(1)
strpos("a")
substr("abc", 1, "x")
end
