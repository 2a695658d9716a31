program define lettered
  display "found in the letter folder"
end
program define lettered_helper
  display "helper"
end
