* run by preserve.do: changes the data after preserving them
preserve
drop if x>1
count
