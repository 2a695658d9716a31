* uniform random numbers: the draws from the starting state and their range
display %20.17f uniform()
display %20.17f uniform()
display %20.17f uniform0()
set obs 1000
generate u = uniform()
generate bad = u < 0 | u >= 1
count if bad
* set seed: integer seeds (100 draws discarded except for the starting seed),
* state strings, and the errors
set seed 123456789
display %20.17f uniform()
set seed 1
display %20.17f uniform()
set seed Xc136bd85c43f462544a474abacbdd93d4182
display %20.17f uniform()
set seed -12345
display %20.17f uniform()
capture noisily set seed Xc136bd85c43f462544a474abacbdd93d4183
capture noisily set seed 2147483647
capture noisily set seed abc
capture noisily set seed
display %20.17f uniform()
capture noisily set seed 1 2
