program define broken
  display "never"
end
global 9x y
