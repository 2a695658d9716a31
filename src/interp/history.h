// The command history: a ring of past console lines bounded by conslen bytes,
// listed by `#review`.
#pragma once
#include <string>

void history_add(const std::string& line);
// Lists commands: `back` how far back to go, `count` how many, oldest first.
void history_review(int back, int count);
void history_clear();
