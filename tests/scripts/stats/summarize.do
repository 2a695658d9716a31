* summarize: the table, weights, detail, meanonly, format, separator, errors
input str10 name float price int weight byte rep
"AMC" 4099 2930 3
"Buick" 5788 3860 4
"Cadillac" 11385 4720 3
"Dodge Colt" 3984 2120 .
"Ford" . 2650 5
"Honda" 5149 1800 4
end
summarize
summarize price weight [aw=weight]
summarize price weight [iw=rep]
summarize price weight [fw=rep]
summarize price if weight>2500
summarize price in 2/4
summarize, separator(2)
summarize, sep(0)
* Detail: unweighted percentiles and extremes, then with frequency weights.
summarize price, detail
summarize price [fw=rep], detail
summarize price [aw=weight], detail
* A single observation: a mean and no standard deviation.
summarize price in 1
summarize price in 1, detail
* All missing.
summarize price in 5
summarize price if weight>9999, detail
summarize price, meanonly
quietly summarize price
summarize price, format
format price %9.2f
summarize price, format
summarize price
* Long names are abbreviated in the stub.
gen averyveryverylongname = weight/1000
summarize averyveryverylongname
* Time-series operators in the list.
gen t = _n
char _dta[_TStvar] t
sort t
summarize L.price D.weight
* A date format under format.
gen d = 16000 + _n
format d %td
summarize d, format
* Errors.
cap noi summarize price [fw=2.5]
display _rc
cap noi summarize price [aw=-1]
display _rc
summarize price [iw=-1]
cap noi summarize price [pw=weight]
display _rc
cap noi summarize price [iw=rep], detail
display _rc
cap noi summarize price, detail meanonly
display _rc
cap noi summarize price, sep(-1)
display _rc
cap noi summarize nosuch
display _rc
cap noi summarize price, bogus
display _rc
* by: one table per group.
cap noi by rep: summarize price
sort rep
by rep: summarize price weight
by rep: summarize price, meanonly
* An empty dataset.
clear
summarize
