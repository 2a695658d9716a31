* Variable lists through a command: exact names against abbreviations, a
* range, the abbreviation setting and time-series operators (patterns, ranges
* and groups case by case are in the varlist unit tests)
input cost costx x x1 xyz b a
1 2 3 4 5 6 7
end
list cost
list costx
list x1-b
cap noi list nosuch
set varabbrev off
cap noi list cos
list costx
set varabbrev on
list cos?
cap noi list costx-
cap noi list L.x
char _dta[_TStvar] x
cap noi list L.x
