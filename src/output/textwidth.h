// Display width of text: how many terminal columns a UTF-8 string takes, for
// every table that pads or cuts strings to line up columns. A byte that does
// not start a valid UTF-8 sequence counts as one column (text read from
// files in other encodings still lines up by bytes).
#pragma once
#include <string>
#include <string_view>

// Columns taken by s: combining marks and zero-width characters take none,
// East Asian wide characters and emoji two, everything else one.
int u8width(std::string_view s);

// Bytes of the longest leading part of s that fits in w columns (never
// splitting a character).
size_t u8fit(std::string_view s, int w);

// The byte just past the character that starts at s[i] (a byte that does not
// start a valid UTF-8 sequence is a character of its own).
size_t u8next(std::string_view s, size_t i);

// s padded with blanks to w columns: on the right (just < 0), on the left
// (just > 0) or both (just == 0, the odd blank on the right). Text wider than
// w is returned whole.
std::string u8pad(std::string_view s, int w, int just);
