* Matrix expressions nested deeper than the parser allows are refused with
* r(130), whether by parentheses, function arguments or signs; nesting
* within the bound still evaluates.
* deep.do: 4000 parentheses around 1; args.do: J(1,1, nested 3000 deep
shell { printf 'matrix A = '; head -c 4000 /dev/zero | tr '\0' '('; printf 1; head -c 4000 /dev/zero | tr '\0' ')'; echo; } > deep.do
shell { printf 'matrix A = '; for i in $(seq 3000); do printf 'J(1,1,'; done; printf 2; head -c 3000 /dev/zero | tr '\0' ')'; echo; } > args.do
shell { printf 'matrix A = '; head -c 3000 /dev/zero | tr '\0' '-'; echo 1; } > signs.do
shell { printf 'matrix A = '; head -c 400 /dev/zero | tr '\0' '('; printf '2,3'; head -c 400 /dev/zero | tr '\0' ')'; echo; } > shallow.do
cap noi run deep
di _rc
cap noi run args
di _rc
cap noi run signs
di _rc
run shallow
matrix list A
matrix B = J(1,1,J(1,1,J(1,1,5)))
matrix list B
matrix C = -(-(-(2)))
matrix list C
