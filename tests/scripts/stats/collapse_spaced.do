* collapse targets: blanks around = are accepted as in newname=varname
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
