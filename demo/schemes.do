* The same graph in the three shipped schemes, combined into one picture:
* modern (the default), mono (greys only) and slides (large text).
use people, example clear
gen lnwage2 = lnwage + 0.4
label variable lnwage2 "log wage + 0.4"
foreach s in modern mono slides {
	scatter lnwage lnwage2 age if _n <= 200, scheme(`s') title("`s'") name(`s', replace)
}
graph combine modern mono slides, cols(3) title("One graph, three schemes") name(schemes, replace)
graph export demo_schemes.png, replace width(1200)
