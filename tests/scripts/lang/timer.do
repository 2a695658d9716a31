* timer: stopwatches shared with Vemo; the times themselves are never shown
timer clear
timer list
timer on 3
timer on 3
timer off 3
timer off 3
timer on 3
timer off 3
quietly timer list
display r(nt3), r(t3) >= 0, r(t3) < 60
* a timer stopped in Vemo was started by the command
timer on 7
vemo: timer_off(7)
vemo: v = timer_value(7); v[2]
quietly timer list 7
display r(nt7)
display r(nt3)
* clearing one timer leaves the others
timer clear 3
quietly timer list
display r(nt7), r(nt3)
* a running timer counts its current period
timer on 9
quietly timer list 9
display r(nt9), r(t9) >= 0
timer clear
timer list
* bad input
capture noisily timer on 0
display _rc
capture noisily timer on 101
display _rc
capture noisily timer off
display _rc
capture noisily timer on 1.5
display _rc
capture noisily timer on 2 3
display _rc
capture noisily timer start 1
display _rc
