* The sort list: set by sort, cut when a key is dropped, shown by describe
input a b str3 s
3 1 "c"
1 2 "a"
2 2 "b"
1 1 "a"
3 2 "c"
end
sort a b
list
describe
drop b
describe
sort s a
list
keep a
describe
input a
0
end
sort a in 1/3
describe
sort a, stable
list
cap noi sort
cap noi sort a if a>1
cap noi sort a, bogus
