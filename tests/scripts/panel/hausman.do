* estimates store and restore, and the Hausman test of fe against re
* (plm's phtest, in ref_panelreg.do from gen_panelreg.R).
run chk.do
run ref_panelreg.do
run mkdata.do
quietly mk_panel1
tsdeclare id t
quietly panelreg y x1 x2 z, fe
estimates store fixed
quietly panelreg y x1 x2 z, re
estimates store random
estimates dir
hausman fixed random
ref_hausman_bal
* the current results count as "."
hausman fixed .
display r(df)
* restore brings a fit back (its sample too) and keeps it stored
quietly regress y x1
estimates restore fixed
display e(cmd) " " e(model) " " e(N)
count if e(sample)
panelreg
estimates restore fixed
* storing again under a name replaces that copy
quietly panelreg y x1 x2 z if t > 1, fe
estimates store fixed
estimates restore fixed
display e(N)
estimates drop fixed
estimates dir
* bad input
cap noi hausman fixed random
display _rc
cap noi hausman random
display _rc
cap noi estimates restore nosuch
display _rc
ereturn clear
cap noi estimates store again
display _rc
