* the working directory is on the ado-path by default
display "$S_ADO"
greet world
greet again
program dir
which greet
* a file found in the folder named after the first letter
lettered
lettered_helper
* failures
capture noisily notthere
capture noisily wrongname
capture noisily broken
capture noisily broken
capture noisily 9bad
* discard drops autoloaded programs; they load again on next use
discard
program dir
greet back
* the ado-path can be changed
global S_ADO "BASE"
capture noisily lettered2
global S_ADO "BASE;."
greet path
