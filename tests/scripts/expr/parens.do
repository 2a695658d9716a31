* Enclosing parentheses are taken off all at once: deep nesting (here
* 60,000 levels, shell-made) compiles in one pass over its length, and only
* parentheses that really enclose the whole expression go.
shell { printf 'scalar deep = '; head -c 60000 /dev/zero | tr '\0' '('; printf '6*7'; head -c 60000 /dev/zero | tr '\0' ')'; echo; } > deep.do
run deep
display deep
display ((1)+(2))
display (1)+(2)*(3)
display ((((1)+(2))*((3))))
display (("a")+("b"))
display ((("(")))
display (((")")))+"x"
display ("(a" + "b)")
display (`"((x"')
cap noi display (((1))
di _rc
cap noi display ((1)))
di _rc
cap noi display ()
di _rc
cap noi display (())
di _rc
scalar s = ((((2))))^((((3))))
display s
