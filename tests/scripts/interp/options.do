* do-file options and arguments
capture noisily do args_inner.do a "b c" d, nostop
capture noisily do args_inner.do, badopt
capture noisily do nosuchfile
do stop_inner.do, nostop
display "nostop went on"
capture noisily do stop_inner.do
display _rc
