// Characteristics store. Owners are "_dta" or variable names; owner names
// follow renames and drops of their variables through the store. The `char`
// command is in cmd/charcmd.cpp.
#include "data/chars.h"

#include <cstring>


CharState chs;

constexpr size_t CHARMAXLEN = 67783;  // longest characteristic text

void charset(const char* owner, const char* name, const std::string& text) {
  auto& v = chs.owners[owner];
  for (auto it = v.begin(); it != v.end(); ++it)
    if (it->first == name) {
      if (text.empty())
        v.erase(it);
      else
        it->second = text.substr(0, CHARMAXLEN);
      if (v.empty()) chs.owners.erase(owner);
      return;
    }
  if (!text.empty()) v.emplace_back(name, text.substr(0, CHARMAXLEN));
  if (v.empty()) chs.owners.erase(owner);
}

const std::string* charget(const char* owner, const char* name) {
  auto o = chs.owners.find(owner);
  if (o == chs.owners.end()) return nullptr;
  for (auto& [n, t] : o->second)
    if (n == name) return &t;
  return nullptr;
}

void charrm(const char* owner) {
  if (!owner)
    chs.owners.clear();
  else
    chs.owners.erase(owner);
}

void charrename_owner(const char* from, const char* to) {
  auto o = chs.owners.find(from);
  if (o == chs.owners.end()) return;
  auto v = std::move(o->second);
  chs.owners.erase(o);
  chs.owners[to] = std::move(v);
}
