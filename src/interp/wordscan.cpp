// Small readers shared by the macro functions and the argument parsers.
#include "interp/wordscan.h"

#include "output/errors.h"

// The user's text is an argument, never the format.
int sayerr(const std::string& s, int rc) { return errmsgf(rc, "%s", s.c_str()); }

std::string nextword(const char*& p) {
  p = skipblanks(p);
  const char* s = p;
  while (*p && *p != ' ') ++p;
  return std::string(s, p);
}

std::string joinwords(const std::vector<std::string>& w) {
  std::string r;
  for (size_t i = 0; i < w.size(); ++i) {
    if (i) r.push_back(' ');
    r += w[i];
  }
  return r;
}
