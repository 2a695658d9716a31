* uniform random numbers: the draws from the starting state and their range
display %20.17f uniform()
display %20.17f uniform()
display %20.17f uniform0()
set obs 1000
generate u = uniform()
generate bad = u < 0 | u >= 1
count if bad
