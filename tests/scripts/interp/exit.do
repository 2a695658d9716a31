* exit ends only the current do-file
display "before"
do exit_inner.do
display "after inner"
capture noisily exit 459
display "still running"
exit
display "never shown"
