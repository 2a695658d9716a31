*! version 1.0.0  greet: says hello
program define greet
  display "hello `0'"
end
