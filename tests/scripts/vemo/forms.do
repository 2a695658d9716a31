* The vemo command: statement, colon and block forms, nesting, management lines
vemo x = 1 + 2
vemo x
vemo: y = x * 2; y
vemo z = (1,
   2)
vemo z
capture noisily vemo: w = (1,
di _rc
vemo
a = 10
a
1 + "a"
a + 1
end
di "after block"
capture noisily vemo:
b = 1
b + "x"
b = 2
b
end
di _rc
vemo b
vemo
# zelta display "from inside vemo"
vemo zelta vemo inner = 42
inner
vemo drop inner
inner
end
vemo d
vemo describe x
vemo rename x xx
vemo xx
capture noisily vemo rename nosuch other
di _rc
capture noisily vemo rename y xx
di _rc
vemo drop y z
vemo clear
capture noisily vemo x
di _rc
vemo
vemo frob
end
vemo_describe
vemo: v = 1
vemo: v
capture noisily vemo: v +
di _rc
quietly vemo 1 + 1
if 0 {
  vemo
  this is not compiled
  end
}
di "skipped"
