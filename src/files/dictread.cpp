// Reading a text file under a dictionary: the records of each observation
// (lines, or fixed-length records with line ends dropped), and each entry's
// field found by its line, column and skip, cut by its width or taken as the
// next word, then cleaned (blanks, implied decimals) and stored.
#include <algorithm>
#include <string>
#include <vector>

#include "files/dict.h"
#include "files/textload.h"
#include "files/textsrc.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// Reads the next record into rec. 0, -1 at the end, or 611 (printed).
int getrecord(const Dict& d, TextSrc& s, std::string& rec) {
  int rc = d.lrecl ? ts_getrecord(s, rec, static_cast<size_t>(d.lrecl)) : ts_getline(s, rec);
  if (rc == 0) ts_expandtabs(rec);
  return rc;
}

// A numeric field's text made ready for conversion: blanks inside removed
// (fields with a width), the implied decimal point put in, and the exponent
// letters D and d read as e.
void numfield(const DictVar& v, std::string& f) {
  if (v.width && v.kind == 'f') f.erase(std::remove(f.begin(), f.end(), ' '), f.end());
  if (f.empty()) return;
  if (v.dec > 0 && f.find_first_of("DEde.") == std::string::npos) {
    size_t sign = (f[0] == '-' || f[0] == '+') ? 1 : 0;
    size_t digits = f.size() - sign;
    size_t d = static_cast<size_t>(v.dec);
    if (digits < d) f.insert(sign, d - digits, '0');
    f.insert(f.size() - d, 1, '.');
  }
  for (char& c : f)
    if (c == 'D' || c == 'd') c = 'e';
}

// The field of entry v in record rec starting at *pos; *pos moves past it.
std::string field(const DictVar& v, const std::string& rec, size_t* pos) {
  size_t p = std::min(*pos, rec.size());
  std::string f;
  if (v.width) {
    f = rec.substr(p, static_cast<size_t>(v.width));
    *pos = p + static_cast<size_t>(v.width);
  } else {
    while (p < rec.size() && rec[p] == ' ') ++p;
    // quoted in double or single quotes, as in free format
    if (p < rec.size() && (rec[p] == '"' || rec[p] == '\'')) {
      size_t q = rec.find(rec[p], p + 1);
      if (q == std::string::npos) q = rec.size();
      f = rec.substr(p + 1, q - p - 1);
      *pos = q + 1;
    } else {
      size_t q = rec.find(' ', p);
      if (q == std::string::npos) q = rec.size();
      f = rec.substr(p, q - p);
      *pos = q;
    }
  }
  if (v.kind != 'S') {
    size_t b = f.find_first_not_of(' ');
    if (b == std::string::npos) f.clear();
    else f = f.substr(b, f.find_last_not_of(' ') - b + 1);
  }
  return f;
}

}  // namespace

int dict_read(const Dict& d, TextSrc& s, TextLoad& t, const TlRange& r) {
  const int nl = d.nlines();
  std::string rec;
  for (int i = 1; i < d.firstline; ++i) {
    int rc = ts_getline(s, rec);
    if (rc > 0) return rc;
    if (rc < 0) return 0;
  }
  std::vector<std::string> recs(static_cast<size_t>(nl));
  for (long fileobs = 1;; ++fileobs) {
    if (r.past(fileobs)) return 0;
    int got = 0;
    for (; got < nl; ++got) {
      int rc = getrecord(d, s, recs[static_cast<size_t>(got)]);
      if (rc > 0) return rc;
      if (rc < 0) break;
    }
    if (got == 0) return 0;
    if (r.hasin && fileobs < r.lo && got == nl) continue;  // whole observations skipped
    const long obs = t.kept + 1;
    if (int rc = tl_slot(t, obs)) return rc;
    int curline = 0;
    size_t pos = 0;
    size_t k = 0;
    for (; k < d.vars.size(); ++k) {
      const DictVar& v = d.vars[k];
      if (v.line > got) break;
      if (v.line != curline) {
        curline = v.line;
        pos = 0;
      }
      if (v.col) pos = static_cast<size_t>(v.col - 1);
      pos += static_cast<size_t>(v.skip);
      std::string f = field(v, recs[static_cast<size_t>(v.line - 1)], &pos);
      if (!isstrtype(v.type)) numfield(v, f);
      tl_store(t, k, obs, f.data(), f.size());
    }
    if (k < d.vars.size()) {
      tl_blank(t, k, obs);
      (void)error(RC_EOF);
      if (r.keep(fileobs, obs)) ++t.kept;
      return 0;
    }
    if (r.keep(fileobs, obs)) ++t.kept;
  }
}
