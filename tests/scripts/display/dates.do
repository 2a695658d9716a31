* dates through display: formats whose text needs care in the command line
* (commas, quotes, minus); each code and unit is checked in the unit tests
display %td 0
display %-td 100 "|"
display %tdM_d,_CY 40 "|"
display %dl_m 40 "|"
display %dC-c-Y-y 36500 "|"
display %d'Y 0 "|"
* time-series units
display %tw 0 "|"
* missing dates
display %-tm .a "|"
* invalid date formats
cap noi display %tz 1
cap noi display %dZ 1
cap noi display %tdDD/NN/CCYY 1
cap noi display %tgY 1
cap noi display %d! 1
