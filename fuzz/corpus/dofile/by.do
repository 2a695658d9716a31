input g x
2 1
1 2
1 .
3 4
end
bysort g: generate n = _n
by g: replace x = sum(x)
by g (x), sort rc0: assert x > 0
by g: list
by g: count if x > 1
by g: drop if _n == 2
set sortseed 77
sort x g, stable
sort g in 2/3
sort g, index(x)
by g: display _by()
