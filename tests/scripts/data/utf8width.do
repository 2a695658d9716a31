* Tables line up by display width: a UTF-8 character takes one column (two
* for a wide one, none for a combining mark), whatever its bytes
clear
input str16 name float income byte grp
"Müller" 10 1
"Smith" 20 1
"Ærøskøbing" 30 2
"日本" 40 2
"Zoë" 50 3
end
list
list, clean noobs
format name %-12s
list name income
* value labels and a string variable as table rows
label define grplab 1 "Straße" 2 "Café" 3 "plain"
label values grp grplab
list grp income
tabulate grp
tabulate name
tabulate name grp
tabdisp name, cell(income)
* display formats pad by columns too
display "[" %12s "Müller" "]"
display "[" %-12s "Müller" "]"
display "[" %~12s "日本" "]"
