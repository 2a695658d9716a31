// The command history: a ring of past console lines bounded by conslen bytes,
// listed by `#review`.
#pragma once
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

struct HistoryState {
  std::deque<std::string> ring;  // console lines, oldest first
  size_t bytes = 0;              // their text, 2 bytes a line added, kept within conslen
};
extern HistoryState hist;

// A line typed at the console: into the ring, the line editor's history and
// the history file.
void history_add(const std::string& line);
// Fills the ring with earlier sessions' lines (already in the line editor's
// history and the file), so that #review and the up arrow agree.
void history_seed(const std::vector<std::string>& lines);
// Lists commands: `back` how far back to go, `count` how many, oldest first.
void history_review(int back, int count);
void history_clear();
