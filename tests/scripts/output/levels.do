* Output levels under the prefixes and `set output`.
display "shown"
quietly display "hidden by quietly"
capture display "hidden by capture"
capture noisily display "shown by noisily"
quietly noisily display "noisily undoes quietly"
quietly {
  display "hidden in a quiet block"
  noisily display "noisily inside the block"
  cap noi error 198
}
* Errors show under quietly, not under capture.
cap noi quietly error 199
capture quietly error 199
display _rc
* Against the threshold of `set output inform` (2): results are hidden; the
* do-file echo is text (level 2), still shown; noisily goes back to the
* threshold the do-file started with, so its note shows.
set output inform
display "a result is hidden"
display as text "display prints results, also as text"
cap noi error 8002
display _rc
* `set output error` (3) hides the echo too; noisily goes back to the
* do-file's own threshold.
set output error
display as text "hidden"
cap noi error 111
set output proc
display as result "everything again"
* A file run with `run` shows only errors.
run levels_sub
display "back"
