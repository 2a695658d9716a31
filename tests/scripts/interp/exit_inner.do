display "inner"
exit
display "inner never"
