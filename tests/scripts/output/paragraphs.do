* Paragraph mode: indents, margins, wrapping and the blank rules.
set linesize 60
display "{p 4 8 2}Paragraph text flows word by word from column 4; continuation lines start at column 8 and no line passes column 58 of this 60-column line.{p_end}"
display "{pstd}The standard paragraph. Sentences end.  Two blanks after a full stop stay two; one stays one.{p_end}"
display "{phang}{cmd:hanging} paragraph: the first line starts at column 4, and the following lines at column 8.{p_end}"
display "{pmore}A {bf:more} paragraph starts at column 8 and stays there for all of its lines, however long.{p_end}"
display "{psee}{help see}: the see-also paragraph hangs at column 13 when it wraps to a second line.{p_end}"
display "{p 0 4}first line{break}second line after a break{p_end}"
display "{p 2 2}{bind:these words stay together} {bind:and so do these words here} end{p_end}"
display "{p 2 2}x{space 20}y{p_end}"
display "{p 0 0 50}narrow margins are limited so that twenty columns always remain for the text{p_end}"
display "{p}{col 5}{hline}{p_end}"
* Two-column tables.
display "{p2colset 4 20 22 2}{p2col:name}a description long enough to wrap onto a second line of the table{p_end}"
display "{p2col:a much longer first column}text{p_end}"
display "{p2line}"
display "{synoptset 12}{synopthdr}"
display "{synopt:{opt replace}}overwrite the file{p_end}"
display "{synoptline}"
display "{syntab:Main}"
display "{dlgtab:Options}"
* Line mode breaks long lines at the width.
display "0123456789012345678901234567890123456789012345678901234567890123456789"
set linesize 40
display "{p 4 4}The same paragraph engine at forty columns wraps these words again.{p_end}"
display "{hline}"
display "{center:mid}"
set linesize 80
display "{hline}"
