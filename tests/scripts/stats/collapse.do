* collapse: statistics by groups, weights, if, cw, names, labels, errors
input byte(g h) float(x y) str3 s
1 1 3 1 "a"
1 2 5 2 "b"
1 1 . 3 "c"
2 1 7 4 "d"
2 2 2 . "e"
2 2 2 6 "f"
3 . 9 7 "g"
end
label define gl 1 "one" 2 "two"
label values g gl
label variable x "The x"
preserve
collapse x y, by(g)
list
describe
restore, preserve
collapse (mean) mx=x (sd) sx=x (count) nx=x (sum) tx=x (min) lo=x (max) hi=x (median) md=x (p25) q1=x (first) fx=x (last) lx=x (firstnm) fnm=x (iqr) iq=x, by(g h)
list
restore, preserve
collapse (mean) x y [fw=h], by(g)
list
restore, preserve
collapse (sum) x y if g < 3
list
restore, preserve
collapse (mean) x y, by(g) cw
list
restore, preserve
collapse (sum) sx=x (count) nx=x (mean) mx=x (sd) dx=x (sum) sy=y (median) my=y [aw=h], by(g)
list
restore, preserve
collapse (sum) sx=x (count) nx=x (sd) dx=x [iw=h], by(g)
list
restore, preserve
collapse (sum) sx=x (count) nx=x [pw=h]
list
restore
cap noi collapse (mean) s, by(g)
display _rc
cap noi collapse (foo) x, by(g)
display _rc
cap noi collapse x g, by(g)
display _rc
cap noi collapse x if g > 5, by(g)
display _rc
describe, short
* --- targets: blanks around = are accepted as in newname=varname
clear
input g y
1 2
1 4
2 6
end
preserve
collapse (mean) ym = y (max) yx= y (min) yn =y, by(g)
list
restore
collapse (sum) total  =  y
list
clear
input g y
1 2
end
capture noisily collapse (mean) ym = , by(g)
display _rc
capture noisily collapse (mean) ym = nosuch, by(g)
display _rc
