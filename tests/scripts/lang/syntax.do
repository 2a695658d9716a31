* args, tokenize, gettoken, syntax and numlists
program define twoargs
  args a b
  display "a=[`a'] b=[`b']"
end
twoargs x
twoargs x y z
capture noisily args a-b
* tokenize
tokenize "a b,c", parse(",")
display "[`1'] [`2'] [`3'] [`4']"
tokenize a "b c" d
display "[`1'] [`2'] [`3']"
tokenize
display "[`1']"
tokenize `"x "y z""'
display `"[`1'] [`2']"'
* nested compound quotes keep their inner pairs; an empty token leaves its
* number undefined, and every earlier positional local goes all the same
* (the lines shown are those printed by syntax_tokenize.py)
tokenize `"`"a "b c" d"' e"'
display `"[`1'] [`2'] [`3']"'
tokenize x `"p `"q r"' s"' y
display `"[`1'] [`2'] [`3'] [`4']"'
tokenize a b c d e
tokenize `"`""' x `"`"y"'"'"'
display `"[`1'] [`2'] [`3'] [`4'] [`5']"'
tokenize "z"
display `"[`1'] [`2'] [`3'] [`4'] [`5']"'
tokenize a`"b"'c d"e"f "g h"i
display `"[`1'] [`2'] [`3'] [`4']"'
program define tokall
  tokenize `"`0'"'
  display `"0=[`0'] 1=[`1'] 2=[`2'] 3=[`3'] 4=[`4'] 5=[`5']"'
  tokenize
  display `"0=[`0'] 1=[`1'] 2=[`2']"'
end
tokall `"a `"b"' c"' `""' "d e" `"`""'"'
* gettoken
local 0 x y z
gettoken first rest : 0
display "[`first'] [`rest']"
gettoken first 0 : 0
display "[`first'] [`0']"
local s `""a b" c"'
gettoken t s : s, qed(q)
display "[`t'] [`s'] [`q']"
local s `""a b" c"'
gettoken t : s, quotes
display `"[`t']"'
local s "(a (b)) c"
gettoken t s : s, match(p)
display "[`t'] [`s'] [`p']"
local s "(a b c"
capture noisily gettoken t : s, match(p)
local s "a=b"
gettoken t s : s, parse("=")
display "[`t'] [`s']"
* syntax: options and their defaults
program define opts
  syntax [, Detail Level(integer 95) noCONStant Title(string) Scale(real 1.5) *]
  display "detail=[`detail'] level=[`level'] constant=[`constant'] title=[`title'] scale=[`scale'] options=[`options']"
end
opts
opts, d
opts, de l(90) nocons title(My  title) sc(2) other(3) more
capture noisily opts, level(abc)
capture noisily opts, detai
program define strict
  syntax [, Detail]
  display "detail=[`detail']"
end
capture noisily strict, other
capture noisily strict, detail detail
program define needsopt
  syntax , Name(string) [Count(integer 1)]
  display "name=[`name'] count=[`count']"
end
needsopt, name(x)
capture noisily needsopt
capture noisily needsopt, count(2)
program define titled
  syntax [varlist], Title(string) [Width(integer 10)]
  display "title=[`title'] width=[`width']"
end
titled, title(Main)
capture noisily titled
display _rc
capture noisily titled, width(2.5) title(x)
display _rc
* syntax: anything, if, in, =exp, using, numlist options
program define anyth
  syntax anything [if] [in] [using/] [, Nums(numlist ascending)]
  display `"anything=[`anything'] if=[`if'] in=[`in'] using=[`using'] nums=[`nums']"'
end
anyth some words if 1 in 1/2 using "my file.txt", nums(1/3 10(5)20)
anyth just this
capture noisily anyth
capture noisily anyth x, nums(3 2 1)
capture noisily anyth x, nums(1/3 x)
program define withexp
  syntax [=exp]
  display "exp=[`exp']"
end
withexp = 2+3
withexp
program define names
  syntax namelist(min=2 max=3)
  display "namelist=[`namelist']"
end
names a b
capture noisily names a
capture noisily names a b c d
capture noisily names a 1b
program define notemplate
  syntax
  display "ok"
end
notemplate
capture noisily notemplate extra
capture noisily notemplate, opt
program define badtemplate
  syntax [, Opt(nosuchtype)]
end
capture noisily badtemplate
program define needif
  syntax if
  display "`if'"
end
needif if 1 == 1
capture noisily needif
* numlists through foreach
foreach n of numlist 1 3 to 9 {
  display "`n'"
}
capture noisily foreach n of numlist 5 5:9 {
  display "`n'"
}
foreach n of numlist 3/1 .5(.5)1.5 {
  display "`n'"
}
numlist "1/3"
capture noisily numlist "1/3 2", ascending
capture noisily numlist "1.5", integer
capture noisily numlist "1 .", 
capture noisily numlist "1 2 3", max(2)
capture noisily numlist "1 2 3", range(>=2)
