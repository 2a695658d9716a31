* matrix expressions element by element, stripes and errors
matrix input A = (1,2\3,4)
matrix list A
matrix B = A*A'
matrix list B
matrix C = A + B
matrix list C
matrix D = A, A \ A, A
matrix dir
display rowsof(D) " " colsof(D) " " D[4,3] " " D[3,4]
matrix E = invsym(B)
matrix list E
* E times B is the identity
matrix EB = E*B
display round(EB[1,1],1e-9) " " round(EB[1,2],1e-9) " " round(EB[2,1],1e-9) " " round(EB[2,2],1e-9)
matrix F = inv(A)
matrix list F
matrix G = A[2,1..2]
matrix list G
matrix G2 = D[2...,3]
matrix list G2
matrix H = 2*A - I(2)
matrix list H
matrix H2 = A/2 + J(2,2,1)
matrix list H2
matrix K = A # I(2)
matrix list K
matrix T = A'
matrix list T
matrix V = vec(A)
matrix list V
matrix Dg = diag((1,2,3))
matrix list Dg
matrix Vd = vecdiag(B)
matrix list Vd
matrix Hd = hadamard(A, A)
matrix list Hd
display trace(A) " " det(A) " " el(A,2,1) " " A[1,2] " " issym(B) " " issym(A)
* singular: identical rows sweep one pivot and leave the other out
matrix S = (1,1\1,1)
matrix list S
matrix Si = invsym(S)
matrix list Si
* near-singular: the second pivot falls under its tolerance
matrix N = (1,1\1,1.0000000000001)
matrix Ni = invsym(N)
matrix list Ni
capture noisily matrix Fi = inv(S)
display _rc
* cholesky and sweep
matrix P = (4,2\2,3)
matrix L = cholesky(P)
matrix list L
matrix Sw = sweep(P,1)
matrix list Sw
matrix Co = corr(P)
matrix list Co, format(%9.4f)
* stripes
matrix rownames A = a b
matrix colnames A = x y
matrix list A
matrix roweq A = eq1
matrix list A
matrix Ax = A["eq1:b", "y"]
matrix list Ax
display rownumb(A, "eq1:b") " " colnumb(A, "y") " " colnumb(A, "nosuch")
* names with equations in one go; a colon needs a name after it
matrix E = A
matrix colnames E = m1:x m2:y
display colnumb(E, "m2:y") " `: colfullnames E'"
capture noisily matrix colnames E = x m2:
display _rc
* long names are cut with "~", an equation and its name separately
matrix colnames E = averyverylongequation:x eq2:areallylongvariablename
matrix list E
* A = A + B keeps the stripes of B
matrix A = A + B
matrix list A
* element assignment
matrix A[1,2] = 100
display A[1,2]
* missing values
matrix M = (1,.\3,4)
matrix M2 = M + M
matrix list M2
matrix M3 = M*I(2)
matrix list M3
capture noisily matrix X = invsym(M)
display _rc
capture noisily matrix X = corr((1,0\0,0))
display _rc
* errors leave the target alone
matrix keep = (7)
capture noisily matrix keep = A + D
display _rc " " keep[1,1]
capture noisily matrix keep = (1,2\3)
display _rc
capture noisily matrix keep = nosuch*2
display _rc
capture noisily matrix keep = invsym((1,2\3,4))
display _rc
capture noisily matrix keep = invsym((1,2,3))
display _rc
capture noisily matrix keep = (1,2
display _rc
display keep[1,1]
capture noisily matrix list nosuch
display _rc
capture noisily matrix bogus
display _rc
capture noisily matrix input Q = (1,2\3)
display _rc
capture noisily matrix input Q = (1,,2)
display _rc
capture noisily matrix list A, format(%zz)
display _rc
* matsize
set matsize 10
capture noisily matrix big = J(11,1,0)
display _rc
capture noisily matrix big = J(10,1,0) \ J(1,1,0)
display _rc
display c(matsize)
capture noisily set matsize 5
display _rc
set matsize 400
matrix drop M M2
capture noisily matrix drop M
display _rc
matrix rename Hd HH
matrix list HH, noheader nonames
matrix list HH, title(squares)
matrix drop _all
matrix dir
