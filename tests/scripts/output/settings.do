* set linesize, set more, set output, more.
set linesize 50
display "{hline}"
set lines 255
display "{hline}"
set linesize 40
display "{hline}"
cap noi set linesize 39
cap noi set linesize 256
display _rc
cap noi set linesize
cap noi set linesize abc
cap noi set linesize 60 70
set linesize 60, permanently
display "{hline}"
cap noi set linesize 60, nonsense
cap noi set li 70
set linesize 80
set more on
more
set more off
cap noi set more
cap noi set more maybe
cap noi set mor on
cap noi set output
cap noi set output everything
cap noi set output proc extra
set output p
set out inform
set output proc
cap noi more 1
