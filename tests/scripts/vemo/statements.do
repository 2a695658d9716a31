* Vemo statements: blocks, if/else, loops, break/continue, goto, return, version, pragma
vemo
x = 5
if (x > 3) "big"
if (x > 10) "huge"
else "not huge"
if (x < 0) {
  "negative"
}
else if (x == 5) {
  "five"
}
else {
  "other"
}
if (.) "missing counts as true"
if (0) "never"; else "zero is false"
k = 0
while (k < 4) k++
k
do {
  k = k - 3
} while (k > 0)
k
total = 0
for (i = 1; i <= 10; i++) {
  if (i == 3) continue
  if (i > 6) break
  total = total + i
}
total
i
for (j = 3; j; j--) j
n = 0
for (; n < 3; ) n++
n
function countdown(n) {
  s = ""
again:
  s = s + strofreal(n) + " "
  n--
  if (n > 0) goto again
  return(s)
}
countdown(3)
function early(x) {
  if (x < 0) return("negative")
  return("non-negative")
}
early(-1)
early(2)
function nothing() {
  return
}
nothing()
rows(nothing())
function ver() {
  version 9.0
  return(callersversion())
}
ver()
a = 1; b = 2; c = a + b; c
x = 1 +
  2 +
  3
x
end
