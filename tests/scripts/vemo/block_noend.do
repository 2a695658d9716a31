* A Vemo block that reaches the end of its do-file before its end line
* reports it on a line of its own
capture noisily do noend.vblock
display _rc
capture quietly do noend.vblock
display _rc
