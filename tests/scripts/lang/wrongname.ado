program define notwrongname
  display "never"
end
