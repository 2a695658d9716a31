* cross products from the dataset, decompositions, score
set obs 5
generate x = _n
generate y = x^2
replace y = . in 5
matrix accum XX = x y
matrix list XX
display r(N)
matrix accum XX = x y if x > 1, noconstant
matrix list XX
matrix accum XD = x y, deviations means(m)
matrix list XD
matrix list m
matrix b = (2, 1)
matrix colnames b = x _cons
matrix score s = b
list x s, noobs
matrix input B = (2,1\1,2)
matrix symeigen V L = B
matrix list L
matrix list V
matrix Y = (3,0\0,4\0,0)
matrix svd U W Vs = Y
matrix list W
matrix R = (0,1\-1,0)
matrix eigenvalues re im = R
matrix list re
matrix list im
matrix dissimilarity Dm = x, L1
matrix list Dm
capture noisily matrix accum Z = nosuch
display _rc
