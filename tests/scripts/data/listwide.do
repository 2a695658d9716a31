* list: tables wider than the line go to one block per observation;
* long names are abbreviated; describe of a variable list
set linesize 60
input str20 fullname income_in_dollars_1990 income_in_dollars_2000 households persons
"Alpha Beta Gamma" 12000.5 15000.25 3 7
"Delta" 99999 120000 10 25
end
list
list fullname persons
list, noobs
list in 2, clean
describe income*
describe, short
set linesize 80
list
