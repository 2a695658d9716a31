// The delimited-text field scanner (see csv.h).
#include <cstring>

#include "files/csv.h"

namespace {

inline bool blank(char c) { return c == ' ' || c == '\r'; }

}  // namespace

bool csv_rowstart(CsvScan& s) {
  for (;;) {
    size_t i = s.pos;
    while (i < s.len && (blank(s.buf[i]) || (s.buf[i] == '\t' && s.delim != '\t'))) ++i;
    if (i == s.len) {
      s.pos = i;
      return false;
    }
    if (s.buf[i] != '\n') return true;
    s.pos = i + 1;
    ++s.line;
  }
}

int csv_field(CsvScan& s, CsvField& f, bool* endrow) {
  const char* b = s.buf;
  const size_t len = s.len;
  const char d = s.delim;
  size_t i = s.pos;
  f = CsvField{};
  while (i < len && b[i] != d && (b[i] == ' ' || (b[i] == '\t' && d != '\t'))) ++i;
  if (i < len && b[i] == '"') {
    const long startline = s.line;
    size_t j = ++i;
    for (;;) {
      const char* q = static_cast<const char*>(std::memchr(b + j, '"', len - j));
      if (!q) {
        s.line = startline;
        return 1;
      }
      size_t k = static_cast<size_t>(q - b);
      if (k + 1 < len && b[k + 1] == '"') {
        f.escapes = true;
        j = k + 2;
        continue;
      }
      f.p = b + i;
      f.n = k - i;
      f.quoted = true;
      j = k + 1;
      break;
    }
    for (const char* c = f.p; c < f.p + f.n; ++c) s.line += *c == '\n';
    while (j < len && b[j] != d && b[j] != '\n') ++j;
    i = j;
  } else {
    size_t j = i;
    while (j < len && b[j] != d && b[j] != '\n') ++j;
    size_t e = j;
    while (e > i && (blank(b[e - 1]) || (b[e - 1] == '\t' && d != '\t'))) --e;
    f.p = b + i;
    f.n = e - i;
    i = j;
  }
  if (i < len && b[i] == d) {
    s.pos = i + 1;
    *endrow = false;
    return 0;
  }
  if (i < len) ++s.line;  // the line end
  s.pos = i < len ? i + 1 : len;
  *endrow = true;
  return 0;
}

std::string csv_text(const CsvField& f) {
  if (!f.escapes) return std::string(f.p, f.n);
  std::string r;
  r.reserve(f.n);
  for (size_t i = 0; i < f.n; ++i) {
    r.push_back(f.p[i]);
    if (f.p[i] == '"' && i + 1 < f.n && f.p[i + 1] == '"') ++i;
  }
  return r;
}
