* help: files along the ado-path, line width, abbreviations, aliases,
* function entries, return codes, unknown topics with close names
help mytopic
set linesize 50
help mytopic
set linesize 80
* the current folder is on the ado-path, ahead of the system's help folder
help summarize
* abbreviations resolve through the command table
help su
help summ
* the alias list: reg is regress
help reg
* man and chelp are the built-ins behind help
man mytopic
chelp summarize
* two words: the joined name, else the first word
help mytopic more words
* functions: one entry of a group file; names are case-sensitive
help strpos()
help Ftail()
help STRPOS()
* return codes
help r(198)
help r198
* unknown topics: close names, code 111
capture noisily help regresss
display _rc
capture noisily help summarise
capture noisily help qqqqqqqqqq
display _rc
capture noisily help strpso()
display _rc
capture noisily help ../mytopic
display _rc
* options are not allowed
capture noisily help mytopic, nosuch
display _rc
* quietly shows nothing and succeeds
capture quietly help mytopic
display _rc
