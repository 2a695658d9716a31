* Log files: text and ZMCL kinds, pausing, appending, named logs, queries,
* the command log and every error; each file's contents are shown with cat.
set logtype text
display c(logtype)
log
log using first
display "inside the first log"
display as result 12.5 " and " as error "an error-coloured text"
log off
display "not in the log"
log off
log on
log on
display "back in the log"
log query
log close
shell cat first.log

* A second opening needs append or replace.
cap noi log using first
display _rc
log using first, append
display "appended"
log close
log using first, replace
display "replaced"
cap noi log using second
display _rc
log close
shell cat first.log

* The extension, the option or the setting decides the kind.
set logtype zmcl
display c(logtype)
log using zfile
display "{res}result{txt} text {hline 5}"
log close
log using out.log, zmcl
display "zmcl despite .log"
log close
log using other.zmcl, text
display "text despite .zmcl"
log close
shell cat zfile.zmcl
shell cat out.log
shell cat other.zmcl

* A ZMCL log paused inside a paragraph resumes in it.
program paratest
  display "{p 4 8 2}a paragraph that goes on" _continue
  quietly log off
  display " while paused" _continue
  quietly log on
  display " after resuming{p_end}"
end
log using para.zmcl
paratest
log close
shell cat para.zmcl

* Named logs beside the unnamed one.
set logtype text
log using one, name(alpha)
log using two, name(beta)
log using three
cap noi log using four, name(alpha)
display _rc
log
display "in three logs"
log off beta
log query beta
log close alpha
log close
display "only beta left, paused"
log on
log close _all
shell cat one.log
shell cat two.log
shell cat three.log

* The command log: messages and pausing (typed lines only are written).
cmdlog using cmds
cap noi cmdlog using cmds2
display _rc
log
cmdlog off
cmdlog off
cmdlog on
cmdlog on
cmdlog close
shell cat cmds.txt

* Errors.
cap noi log close
display _rc
cap noi log off
display _rc
cap noi log on
display _rc
cap noi cmdlog close
display _rc
cap noi cmdlog off
display _rc
cap noi log close nosuch
display _rc
cap noi log using x, name(1bad)
display _rc
cap noi log using x, text zmcl
display _rc
cap noi log using x, append replace
display _rc
cap noi log using x, bogus
display _rc
cap noi log using
display _rc
cap noi log using nofolder/x.log
display _rc
cap noi log frobnicate
display _rc
cap noi set logtype html
display _rc
set logtype zmcl
log using t1, text
cap noi log close t1
display _rc
cap noi log close _all
display _rc
cap noi log close
display _rc

* The saved results of opening and querying, as macros expand them.
quietly log using rlog, text name(second)
display "`r(filename)' `r(status)' `r(type)'"
log off second
quietly log query second
display "`r(filename)' `r(status)' `r(type)'"
log close second
