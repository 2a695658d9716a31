* started with -d11000 (startopt_matsize.opts): matsize is at its largest,
* so the too-many error gives no advice to raise it
capture noisily error 146
display _rc
capture noisily error 908
display _rc
