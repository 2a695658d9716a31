// Small readers shared by the macro functions and the argument parsers of
// programs: blanks, blank-delimited words, word lists, and error messages
// that carry the user's text (and so are not printf formats).
#pragma once
#include <string>
#include <vector>

// Prints s at the error level; returns rc.
int sayerr(const std::string& s, int rc);

inline const char* skipblanks(const char* p) {
  while (*p == ' ') ++p;
  return p;
}

// The next blank-delimited word at p, p moved behind it.
std::string nextword(const char*& p);

// The words joined by single blanks.
std::string joinwords(const std::vector<std::string>& w);
