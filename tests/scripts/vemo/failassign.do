* A name that a failing assignment would have created stays undefined;
* an existing name keeps its value
vemo
y = (1,2) + (1,2,3)
y
findexternal("y") == NULL
s = "a"
u = 1 + s
u
real scalar boom() { _error(3300) }
v = boom()
v
w = st_data(0, 1)
w
t = (k = 2) + (1,2,3)
t
k
z = 5
z = (1,2) + (1,2,3)
z
q = J(0, 0, .)
q = (1,2) + (1,2,3)
rows(q), cols(q)
end
* the statement forms and a do-file block that stops at the first error
capture vemo: a = boom()
display _rc
capture vemo a = (1,2) * (3,4)
display _rc
capture noisily vemo:
b = 1
c = boom()
d = 2
end
display _rc
vemo: findexternal("a") == NULL
vemo: findexternal("c") == NULL
vemo: b
capture noisily vemo: d
display _rc
vemo describe
vemo: c = 1; c
