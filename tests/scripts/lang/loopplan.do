* Loop bodies run from lines split once into text and references: every
* line must still do what expanding it afresh does, whatever the macros
* hold from one step to the next.
* a macro that names the command, changing between steps
local s 0
foreach w in "local s =" display "local s =" {
    `w' `s' + 1
    display "[`s']"
}
* values that are not plain numbers: a value holding a reference is
* expanded again, blanks around a number, signs, expressions, missing
local b inner
local a "\`b'"
global G 40
local n "\$G"
forvalues i = 1/2 {
    display "`a' `n'"
    local b outer
}
capture noisily foreach v in " 5 " -5 2*3 1e3 1. . .a 0 "" {
    local x = `v' + 1
    local y = 1 - `v'
    local q = `v'/0
    display "`v': x=`x' y=`y' q=`q'"
}
foreach v in 5 -5 e3 .5 {
    local z = 5`v' * 2
    display "`v': z=`z'"
}
capture noisily forvalues i = 1/2 {
    local x = abc + `i'
}
local v 3
local t = `v'0 + 1
local u = $G*2
local r=`v'-1
display "`t' `u' `r'"
* a reference before the = makes the name; nested and extended references
local nm target
forvalues i = 1/2 {
    local `nm' = `i' * 7
    local e = `=`i'+1' + 1
    local f = `:word `i' of 10 20' + 1
    loc g = `f' + `e'
    display "`target' `e' `f' `g'"
}
* the body rewrites the loop local, removes it, removes what it reads
forvalues i = 1/3 {
    local i = `i' * 10
    display "i=`i'"
}
forvalues i = 1/3 {
    local i
    display "gone=`i'"
}
local c 1
forvalues i = 1/3 {
    local d = `c' + 100
    local c
    display "d=`d'"
    local c = `i' + 1
}
* big numbers, fractions and a result that overflows
local h 99999999
forvalues i = 1/3 {
    local h = `h' + 1
    local k = `h' * 100000000
    local m = `h' / 3
    local o = 1e308 * `h'
    display "`h' `k' `m' `o'"
}
local big 12345678901234567
local name31 abcdefghijklmnopqrstuvwxyz12345
forvalues i = 1/2 {
    local big = `big' + `i'
    local `name31' = `i' + 0.5
    local abcdefghijklmnopqrstuvwxyz12345 = `abcdefghijklmnopqrstuvwxyz12345' * 2
    capture noisily local abcdefghijklmnopqrstuvwxyz123456 = 1 + 1
    display "`big' `abcdefghijklmnopqrstuvwxyz12345'"
}
local p = -99999999 - 1
local p2 = `p' * 100000000
display "`p' `p2'"
* continue, continue break, and lines scanned after them
foreach x in a b c d {
    local s2 = "`x'" + "!"
    if "`x'" == "b" continue
    if "`x'" == "d" {
        continue, break
    }
    local s3 = `s' + 1
    display "`x' `s2' `s3'"
}
* errors inside a body
capture noisily forvalues i = 1/3 {
    local ok = `i' + 1
    local bad = `i' + nosuch
    display "not reached"
}
display "rc=`=_rc' ok=`ok'"
forvalues i = 1/2 {
    capture local bad = `i' +
    display "captured `=_rc'"
    capture noisily local bad2 = (`i'
}
* while and foreach bodies
local k 0
while `k' < 4 {
    local k = `k' + 1
}
display "k=`k'"
local acc 0
foreach x of numlist 1/4 {
    local acc = `acc' + `x' * `x'
}
display "acc=`acc'"
* programs: locals at their own level, loops inside, exit, a brace from a
* macro, definitions inside a loop, old name rules
program define addone
    local s = `1' + 1
    display "inside s=`s'"
    forvalues j = 1/2 {
        local s = `s' + 10
    }
    display "inside after s=`s'"
end
local s 5
forvalues i = 1/2 {
    addone `s'
    local s = `s' + 1
    display "outside s=`s'"
}
program define stopat
    forvalues i = 1/5 {
        if `i' == 3 exit
        local last = `i' + 0
        display "step `last'"
    }
    display "not reached"
end
stopat
program define braced
    local ob "{"
    forvalues i = 1/2 {
        if `i' == 2 `ob'
            display "second `i'"
        }
        display "each `i'"
    }
end
braced
forvalues i = 1/2 {
    capture program drop made`i'
    program define made`i'
        local v = `1' + 100
        display "made: `v'"
    end
    made`i' `i'
}
program define oldnames
    version 6
    forvalues i = 1/2 {
        capture noisily local longname8 = `i' + 1
        local short = `i' + 1
        display "short=`short'"
    }
end
oldnames
* the trace shows every line and its expansion, also once it is set
* inside a loop
program define midtrace
    forvalues i = 1/3 {
        if `i' == 2 set trace on
        local z = `i' + 1
        if `i' == 3 set trace off
    }
    display "z=`z'"
end
midtrace
program define traced
    local s 0
    forvalues i = 1/2 {
        local s = `s' + `i'
    }
    display "s=`s'"
end
set trace on
traced
set trace off
* Conditions of while and if are compiled once and kept while the text and
* everything the text names stay the same: a condition whose text changes
* between steps, and conditions whose text stays the same while the scalar,
* saved result, c() value or variable behind a name changes.
local i 0
while `i' < 3 {
    display "i=`i'"
    local ++i
}
local go 1
local i 0
while `go' {
    local ++i
    if `i' == 3 local go 0
}
display "go stopped at `i'"
scalar k = 0
while k < 3 {
    scalar k = k + 1
    scalar m = 0
    while m < k {
        scalar m = m + 1
        if m == k display "k=" k " m=" m
    }
}
clear
set obs 1
count
while r(N) < 3 {
    set obs `=_N + 1'
    count
    display "N=" r(N)
}
while c(k) < 3 {
    generate v`=c(k)' = 1
    display "k=" c(k)
}
* the variable behind a name moves, changes type or becomes ambiguous
clear
set obs 1
generate y = 1
local k 0
while y[1] < 4 {
    display "y=" y[1] " after `k' moves"
    local ++k
    generate w`k' = 99
    order w`k'
    replace y = y + 1
    if y[1] > 1 display "y now " y[1]
}
clear
set obs 1
generate v = 1
capture noisily while v[1] == 1 {
    drop v
    generate str1 v = "a"
}
display "r(" _rc ") v=" v[1]
clear
set obs 1
generate abc = 1
capture noisily while ab[1] < 3 {
    replace abc = abc + 1
    capture generate abd = 0
}
display "r(" _rc ") abc=" abc[1]
