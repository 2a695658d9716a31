* Prefixes: capture, quietly, noisily, and the return-code report
capture error 198
display _rc
capture noisily error 111
quietly display "not shown"
quietly noisily display "shown by noisily"
noisily display "noisily at top"
capture display "captured output is not shown"
qui di "qui is quietly"
capture nosuchcommand
display _rc
capture: error 2
display _rc
nobreak display "nobreak runs the command"
break display "break runs the command"
capture noisily quietly error 198
quietly capture noisily error 198
display "quietly {" 
quietly {
  display "inside a quiet block"
  noisily display "noisily inside a quiet block"
}
