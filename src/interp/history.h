// The command history: a ring of past console lines bounded by conslen bytes,
// listed by `#review`.
#pragma once
#include <string>
#include <vector>

// A line typed at the console: into the ring, the line editor's history and
// the history file.
void history_add(const std::string& line);
// Fills the ring with earlier sessions' lines (already in the line editor's
// history and the file), so that #review and the up arrow agree.
void history_seed(const std::vector<std::string>& lines);
// Lists commands: `back` how far back to go, `count` how many, oldest first.
void history_review(int back, int count);
void history_clear();
