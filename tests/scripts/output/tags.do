* Colour and font tags do not show in a text log.
display "{res}result {txt}text {err}error {com}command {hi}hilite {reset}reset"
display "{bf:bold} {it:italic} {ul:underlined} {ul on}on{ul off} {sf}roman {rm}too"
display "{result}1{text}2{error}3{input}4{ye}5{gr}6{re}7{wh}8{cmd}9{hilite}0"
* Rules and columns.
display "{hline 20}"
display "abc{hline}"
display "{col 11}{hline -5}|"
display "{col 5}x{col 15}y"
display "0123456789{col 5}x"
display "a{space 5}b{tab}c"
display "{dup 3:ab}{dup 0:x}"
display "{.-}"
display "after the rule"
* Special characters: line drawing in plain text, braces, accents.
display "{c -(}{c )-} {c |} {c -} {c +} {c TT}{c BT}{c LT}{c RT} {c TLC}{c TRC}{c BLC}{c BRC}"
display "{c $|}{c S|}{c 'g} {c 65}{c 0x42}{char 67}"
display "{c TLC}{hline 10}{c TRC}"
display "{c |}{space 10}{c |}"
display "{c BLC}{hline 10}{c BRC}"
* Alignment.
display "{center:centred}"
display "{rcenter:ab}"
display "{right:right}"
display "{lalign 8:left}|{ralign 8:right}|{ralign 2:wider}|"
display "{title:Remarks}"
* Links show their text.
display "{help regress} {helpb summarize} {search r(198):r(198);}"
display `"{browse "http://example.org"} {browse "http://example.org":the site}"'
display "{manhelp regress R} {back:go back} {zelta display 1:run it} {view x.log}"
display "{opt replace} {opt f:ormat} {cmdab:su:mmarize}"
* Syntax placeholders.
display "{varlist} {varname} {var} {vars} {newvar} {depvar} {indepvars}"
display "{ifin} {weight} {dtype}"
* Comments, markers and optional tags.
display "{marker here}{* a comment}visible{newpage}"
display "{?foo:bar} {?res:x}"
* Malformed tags are printed as they are.
display "{hline 300} {hline x} {col 0}{col 256}"
display "{dup 1000:x} {c 300} {c nope} {foo:bar}"
display "{thisnameistoolong} {} { } a { b"
display "{help} {back} {res extra} {help a:x{help b}y}"
display "{bf:{p}in colon text}"
