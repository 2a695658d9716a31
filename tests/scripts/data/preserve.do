* preserve and restore across do-file levels: a copy made inside a do-file
* is restored when the do-file ends
input x str4 s
1 "a"
2 "b"
3 "c"
end
char _dta[note] kept
do preserve_inner.do
count
list
char list
preserve
do preserve_inner.do
count
restore
do preserve_inner2.do
describe
