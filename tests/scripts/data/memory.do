* set memory, set maxvar, set type, set varabbrev, _repart
set memory 20m
cap noi set memory 100b
cap noi set memory 5g
set memory 1024k, permanently
cap noi set maxvar 100
cap noi set maxvar 40000
set maxvar 5000, permanently
set type double
input x
1
end
describe
set type float
cap noi set type int
cap noi set varabbrev maybe
_repart width 400
_repart width +100
_repart obs 1000
_repart obs -10
cap noi _repart width 100000
cap noi _repart height 3
cap noi set memory 30m
drop _all
set memory 30m
input y
1
end
describe
