// Characteristics: named texts attached to a variable or to the dataset
// ("_dta"), kept in insertion order per owner. A small store that the label
// layer can take over; the time-series operators read _dta[_TStvar] and
// _dta[_TSpanel] from it.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

struct CharState {
  // owner -> (name, text) in definition order
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> owners;
};
extern CharState chs;

// Stores text under owner[name]; an empty text deletes it.
void charset(const char* owner, const char* name, const std::string& text);
// The text of owner[name], or nullptr.
const std::string* charget(const char* owner, const char* name);
// Removes every characteristic of owner (all of them when owner is null).
void charrm(const char* owner);
// Moves the characteristics of one owner to a new owner name.
void charrename_owner(const char* from, const char* to);
