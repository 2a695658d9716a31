* The accumulation variants on data small enough to check by hand: weights
* in accum (fweights count, aweights rescaled to sum to the observations),
* vecaccum, opaccum and glsaccum, and their messages.
input y x g r w
1 1 1 1 1
2 0 1 2 2
3 2 2 1 1
4 1 2 2 3
5 . 3 1 1
end
matrix accum A = y x [fw=w]
matrix list A
display r(N)
matrix accum B = y x [aw=w], noconstant
matrix list B
display r(N)
matrix vecaccum v = y x
matrix list v
matrix opaccum O = x, group(g) opvariables(y)
matrix list O
matrix W = (2, 1 \ 1, 3)
matrix glsaccum G = x, group(g) glsmatrix(W) row(r)
matrix list G
cap noi matrix opaccum O = x, group(g)
display _rc
cap noi matrix glsaccum G = x, group(g) row(r) glsmatrix(nosuch)
display _rc
cap noi matrix vecaccum v = y, noconstant
display _rc
gen h = 1.5
cap noi matrix accum A = y [fw=h]
display _rc
replace h = -1 in 2
cap noi matrix accum A = y [aw=h]
display _rc
cap noi matrix accum A = y if y > 10
display _rc
