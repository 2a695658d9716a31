* Tags through display into a text log, mostly those the renderer's unit tests
* leave out: colour synonyms, box drawing, links, placeholders, odd markers.
display "{result}1{text}2{error}3{input}4{ye}5{gr}6{re}7{wh}8{cmd}9{hilite}0"
* Rules and columns.
display "{col 5}x{col 15}y"
display "{dup 3:ab}{dup 0:x}"
display "{.-}"
display "after the rule"
* Special characters: line drawing in plain text, braces, accents.
display "{c -(}{c )-} {c |} {c -} {c +} {c TT}{c BT}{c LT}{c RT} {c TLC}{c TRC}{c BLC}{c BRC}"
display "{c $|}{c S|}{c 'g} {c 65}{c 0x42}{char 67}"
display "{c TLC}{hline 10}{c TRC}"
display "{c |}{space 10}{c |}"
display "{c BLC}{hline 10}{c BRC}"
* Links show their text.
display "{help regress} {helpb summarize} {search r(198):r(198);}"
display `"{browse "http://example.org"} {browse "http://example.org":the site}"'
display "{manhelp regress R} {back:go back} {zelta display 1:run it} {view x.log}"
* Syntax placeholders.
display "{varlist} {varname} {var} {vars} {newvar} {depvar} {indepvars}"
* Comments, markers and optional tags.
display "{marker here}{* a comment}visible{newpage}"
* Malformed tags are printed as they are.
display "{thisnameistoolong} {} { } a { b"
display "{help} {back} {res extra} {help a:x{help b}y}"
