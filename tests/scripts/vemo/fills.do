* Vemo construction by repetition (J) over every element type and shape,
* and the real log gamma and factorial against the command language and
* exact values
clear
vemo
J(2, 3, 0)
J(2, 2, (1, 2))
J(3, 2, (1 \ 2))
J(2, 3, (1, 2 \ 3, 4))
A = J(3, 4, (1, 2 \ 3, 4))
rows(A), cols(A), sum(A), A[6, 8], A[5, 7]
J(2, 2, 1 + 2i)
J(1, 2, (1i, 2 \ 3, 4i))
J(2, 2, "ab")
J(2, 1, ("x", "" \ "y", "zz"))
p = &A
P = J(2, 2, p)
*P[2, 2] == A, rows(P), cols(P)
rows(J(0, 3, 1)), cols(J(0, 3, 1)), rows(J(3, 0, 1)), cols(J(3, 0, 1))
rows(J(2, 3, J(0, 2, 1))), cols(J(2, 3, J(0, 2, 1)))
rows(J(2, 3, J(1, 0, "s"))), cols(J(2, 3, J(1, 0, "s")))
B = J(1000, 1000, 7)
sum(B), B[1000, 1000]
J(-1, 2, 0)
J(., 2, 0)
J(2, (1, 2), 0)
J(2, "a", 0)
J(100000, 1, J(30000, 1, 0))
lngamma((0.5, -0.5, 1, 2, 0, -3, .a))
lngamma(-2.5)
lngamma(1e-300)
(void) _zelta("scalar g = lngamma(7.3)")
st_numscalar("g") == lngamma(7.3), lngamma(7.3)
factorial((0, 1, 5, 20, 171, -1, 2.5, .))
factorial(20) == 2432902008176640000, factorial(25) == 15511210043330985984000000
factorial(170) == 7.257415615307999e306
end
