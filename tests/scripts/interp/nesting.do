* do-files call themselves until the nesting limit stops them
global depth 0
capture noisily do nest_inner.do
display "stopped at depth $depth with code " _rc
