* Complex elementary functions: square root, exponential, logarithm, sine,
* cosine, tangent, log-gamma, power and angle, with the missing-value rule
vemo
sqrt(-4+0i)
sqrt(3+4i)
sqrt(-3-4i)
sqrt((4, -9) :+ 0i)
sqrt(-4)
exp(1+2i)
exp(0i)
exp(1000+1i)
log(-1+0i)
log(1i)
ln(3-4i)
log(0i)
sin(1+1i)
cos(1+1i)
tan(1+1i)
tan(1000i)
lngamma(1+1i)
lngamma(0.5+0i)
lngamma(-2.5+1i)
lngamma(0i)
lngamma(-3+0i)
lngamma(-2.5)
z = lngamma(3.7+2.2i)
w = lngamma(2.7+2.2i) + log(2.7+2.2i)
z
abs(z - w) < 1e-13
(1+2i)^2
(1+2i)^-1
(2i)^0.5
0i^0
0i^(-1)
0i^(2i)
(1+1i)^(1+1i)
arg((1, -1, 1i, -1i, -1+0i))
arg(.)
sqrt(. + 1i)
exp(C(1, .))
log((1+1i, .))
C(., 1)
sqrt(1e300+1e300i)
x = sqrt((-1+0i, 4, 9i \ -4, 16, .))
x
isreal(sqrt(4)), iscomplex(sqrt(4+0i))
sqrt("a")
exp(&x)
end
