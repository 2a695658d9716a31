# the time a command took and the clock vary from run to run
s/^r; t=[0-9]+\.[0-9]{2} [0-9]{1,2}:[0-9]{2}:[0-9]{2}$/r; t=T/
