// Normalised text of a time-series operator string (varlist.cpp).
#pragma once
#include <string>

// The normalised text of an operator string without numlists ("l.L.d" and
// "LLD" give "L2D"); 0, or a return code with its message.
[[nodiscard]] int tsnorm(const std::string& ops, std::string& text);
