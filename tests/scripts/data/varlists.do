* Variable-list forms: names, abbreviations, patterns, ranges, _all, and errors
input cost costx x x1 xyz b a
1 2 3 4 5 6 7
end
list cost
cap noi list cos
list costx
list x*
list x?
list xy~
cap noi list x~
cap noi list x~*
cap noi list q*
list x1-b
cap noi list b-x1
list b - a
list _all
list *
list (cost x) a
cap noi list ((cost))
cap noi list cost)
cap noi list _skip
cap noi list float
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
cap noi list D21.x
cap noi list Q.x
