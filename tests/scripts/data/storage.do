* Storage types: values at every boundary, stored through input and shown by list
input byte b int i long l
100.9 32740.9 2147483620
101 32741 2147483621
-127.9 -32767 -2147483647
-128 -32768 -2147483648
127 32767 2147483647
.c .c .c
.z .z .z
-0.5 1e10 3e9
end
list
input float f double d str5 s
1e39 1e300 "abcdefg"
.b .b "x y"
0.1 0.1 ""
-1e39 -1e300 abc
3.40282e38 . .
end
list
assert b==100 in 1
assert b==. in 2
assert b==-127 in 3
assert b==. in 4/5
assert i==32740 in 1
assert i==. in 2
assert i==-32767 in 3
assert l==2147483620 in 1
assert l>=. in 2
assert l>=. in 4/5
assert b==.c & i==.c & l==.c in 6
assert b==.z & i==.z & l==.z in 7
assert b==0 in 8
assert f==. & d==1e300 & s=="abcde" in 1
assert f==.b & d==.b & s=="x y" in 2
assert f>.0999999 & f<.1000001 & d==.1 & s=="" in 3
assert f==. & d==-1e300 in 4
assert f==. & s=="." in 5
assert f==. & s=="" in 6/8
describe
