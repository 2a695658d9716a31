* Line assembly of do-files: comments, quotes, continuation lines, delimiters
    * an indented comment line is skipped too

display "a//b is text"
display 1 /* a comment */ + 2
display 3 /* nested /* comment */ still comment */ + 4
display "/* not a comment */"
display 5 // a line comment
display 10 ///
   + 20
display `"compound "quotes" // kept"'
#delimit ;
display 1
  + 2 ;
display "x" ; display "y" ;
#delimit cr
display "back to cr"
#unknown
display "after unknown directive"
* a run of unterminated opening quotes is left as it is, quickly
display "````````````````````````````````````````````````x"
display "`a `b'"
