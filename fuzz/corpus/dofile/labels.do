input byte a str4 s
1 "x"
2 "y"
end
label define l 1 "one" 2 `"two "2""' -5 neg, modify
label define l 3 three, add
label values a l
label variable a "the a"
label data "d"
label list
label dir
list
list, nolabel
count if a == "one":l
label language fr, new copy
label language default
label language fr, delete
char a[x] y
char rename a s, replace
char list
encode s, generate(e)
decode e, generate(d) maxl(2)
label drop _all
label define bad 1.5 x
label values s l
