error 198
display "after error"
