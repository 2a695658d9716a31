* run by preserve.do: restores by itself, then preserves again and cancels
preserve
keep in 1
restore
preserve
drop _all
restore, not
