* Schemes: the setting and c(scheme), unknown and damaged schemes (the
* current one kept), the values a scheme gives graph programs, the scheme()
* option, and pictures measured from their SVG by svgcheck.py (text boxes
* from the font file's own metrics): mono uses greys only, slides sets every
* text at least 1.25 times as large, and no two texts overlap or leave the page.
display c(scheme)
cap noi set scheme nosuch
display _rc
display c(scheme)
cap noi set scheme bad
display _rc
display c(scheme)
cap noi set scheme ../x
display _rc
set scheme mono
display c(scheme)
_gscheme
display r(name) ": " r(nseries) " series, first " r(color1) " " r(symbol1) ", second " r(color2) " " r(pattern2)
display r(background) " / " r(grid) " / " r(font) " / " r(size_title) " " r(size_ticklabel)
_gscheme, scheme(slides)
display r(name) " " r(size_title) " " r(size_ticklabel) " " r(linewidth)
cap noi _gscheme, scheme(nosuch)
display _rc
* measuring: a text's width grows with its size and its length
_gscheme measure 10 "Wage" "Wage by age"
display r(n) " " (r(width2) > r(width1)) " " (r(width) == r(width2)) " " %5.2f r(ascent) " " %5.2f r(descent)
local w10 = r(width1)
_gscheme measure 20 "Wage"
display %6.4f r(width1) / `w10'
* a byte that is not UTF-8 is measured as the Latin-1 letter it stands for,
* and texts after it keep their widths (cairo refuses such text for good)
local b = char(196)
_gscheme measure 10 "W`b'g" "WÄg" "Wage"
display (r(width1) > 0) " " (r(width1) == r(width2)) " " %6.4f r(width3) / `w10'
set scheme modern
display c(scheme)
graph schemes
* the list takes nothing more: a word or an option left over is named
capture noisily graph schemes modern
display _rc
capture noisily _gscheme dir , all
display _rc

* pictures
clear
set obs 40
gen x = _n * 2500
gen y = sin(_n / 5) * 1000000
gen z = cos(_n / 5) * 800000
gen w = y / 2
format x %12.0fc
format y %14.2fc
label variable y "Sine of the number of the observation"
label variable z "Cosine of the number of the observation"
label variable w "Half the sine"
scatter y z w x, title("A long title that runs on and on across the whole width of the page and further still") note("a note") name(plain)
graph export plain.svg
shell /usr/bin/python3 svgcheck.py plain.svg > out.txt
type out.txt
scatter y z w x, scheme(mono) name(grey)
graph export grey.svg
shell /usr/bin/python3 svgcheck.py grey.svg --greys > out.txt
type out.txt
* the charts draw in a named scheme too: greys only, or the larger text (marker
* labels too)
gen k = mod(_n, 3)
barchart y z, over(k) scheme(mono) name(greybars)
graph export greybars.svg
shell /usr/bin/python3 svgcheck.py greybars.svg --greys > out.txt
histogram y, normal scheme(slides) name(bighist)
graph export bighist.svg
histogram y, normal name(smallhist)
graph export smallhist.svg
shell /usr/bin/python3 svgcheck.py bighist.svg --ratio smallhist.svg | tail -1 >> out.txt
scatter y x in 1/5, labels(k) scheme(slides) name(biglab)
graph export biglab.svg
scatter y x in 1/5, labels(k) name(smalllab)
graph export smalllab.svg
shell /usr/bin/python3 svgcheck.py biglab.svg --ratio smalllab.svg | tail -1 >> out.txt
type out.txt
* series differ by symbol and line pattern as well as colour in every scheme
foreach s in modern mono slides {
	quietly _gscheme, scheme(`s')
	di "`s': " r(symbol1) "/" r(pattern1) " " r(symbol2) "/" r(pattern2) " " r(symbol3) "/" r(pattern3)
}
* the same graph in the default scheme uses colours, so the check can fail
scatter y z w x, name(colour)
graph export colour.svg
shell /usr/bin/python3 svgcheck.py colour.svg --greys > out.txt
type out.txt
set scheme slides
scatter y z w x, title("Waves") xtitle("Number") ytitle("Height") note("a note") name(big)
set scheme modern
graph export big.svg
scatter y z w x, title("Waves") xtitle("Number") ytitle("Height") note("a note") name(small)
graph export small.svg
shell /usr/bin/python3 svgcheck.py big.svg --ratio small.svg > out.txt
type out.txt
* a graph keeps the look it was drawn with
graph display big
graph export big2.svg
shell cmp big.svg big2.svg && echo same > out.txt
type out.txt
* a narrow range of long labels: every label still clear of the others
gen double t = 1000000000 + _n
format t %15.0fc
scatter y t, name(long)
graph export long.svg
shell /usr/bin/python3 svgcheck.py long.svg > out.txt
type out.txt
* labels too long to sit side by side: turned 45 degrees when that fits,
* else only every second (third, ...) one shown; clear of each other either way
gen double u = 1000000000 + _n * 1000
format u %15.0fc
scatter y u, scheme(slides) name(turned)
graph export turned.svg
shell /usr/bin/python3 svgcheck.py turned.svg --texts | grep -c "^'1,000,0" > out.txt
shell /usr/bin/python3 svgcheck.py turned.svg | head -1 >> out.txt
shell grep -c 'rotate(-45' turned.svg >> out.txt
type out.txt
gen double v = 1e12 + _n * 1e10
format v %22.2fc
scatter y v, scheme(slides) name(thinned)
graph export thinned.svg
shell /usr/bin/python3 svgcheck.py thinned.svg --texts | grep -c "^'1,...,...,...,...\.00'" > out.txt
shell /usr/bin/python3 svgcheck.py thinned.svg | head -1 >> out.txt
shell grep -c 'rotate(' thinned.svg >> out.txt
type out.txt
* legend texts wider than the page are cut to their place, at every legend
* position and in the charts, and stay on the page
local long WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW end
label variable z "`long'"
foreach p in bottom top right left {
	scatter y z x, legend(`p') name(leg`p')
	quietly graph export leg`p'.svg
	shell /usr/bin/python3 svgcheck.py leg`p'.svg > out.txt
	shell grep -c " end<" leg`p'.svg >> out.txt
	type out.txt
}
foreach c in barchart dotchart {
	`c' y z, over(k) name(leg`c')
	quietly graph export leg`c'.svg
	shell /usr/bin/python3 svgcheck.py leg`c'.svg > out.txt
	shell grep -c " end<" leg`c'.svg >> out.txt
	type out.txt
}
* the text to cut is one item: more words are a syntax error
_gscheme cut 10 50 "Wage by age"
display `"`r(text)' "' r(cut)
cap noi _gscheme cut 10 50 Wage by age
display _rc
