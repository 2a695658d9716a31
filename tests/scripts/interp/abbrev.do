* Command abbreviations and unknown commands
di "di is display"
disp "disp is display"
capture noisily displayx "too long"
capture noisily d
capture noisily 123abc
unabcmd g
unabcmd di
capture noisily unabcmd zzz
