display "hidden: run is quiet"
noisily display "noisily shows inside a run file"
cap noi error 103
