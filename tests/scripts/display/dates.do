* daily dates and their codes
display %td 0
display %d 0
display %dDmY 0 "|"
display %td -1
display %td 16436
display %-td 100 "|"
display %tdD.N.Y 100 "|"
display %tdd/n/cy 100 "|"
display %tdM_d,_CY 40 "|"
display %dL 40 "|"
display %dl_m 40 "|"
display %dJ_j 31 "|"
display %dW_w 365 "|"
display %dq_h 200 "|"
display %dD!D 0 "|"
display %dC-c-Y-y 36500 "|"
display %d'Y 0 "|"
display %td 0.7
* time-series units
display %tw 0 "|"
display %tw 51 "|"
display %tw -1 "|"
display %tm 1 "|"
display %tm -13 "|"
display %tq -1 "|"
display %th 3 "|"
display %ty 2024 "|"
display %tmCY/N 5 "|"
display %tqDmY 1 "|"
display %tg 1.5 "|"
display %-tg 1.5 "|"
* missing dates
display %td . "|"
display %-tm .a "|"
* invalid date formats
cap noi display %tz 1
cap noi display %dZ 1
cap noi display %tdDD/NN/CCYY 1
cap noi display %tgY 1
cap noi display %d! 1
