* adopath is itself an ado-file changing the global S_ADO
capture noisily subcmd
quietly adopath + sub
display "$S_ADO"
subcmd
quietly adopath ++ first
display "$S_ADO"
quietly adopath - sub
quietly adopath - 1
display "$S_ADO"
capture noisily adopath * x
