// The dictionary parser of infile (see dict.h). A line is split into words,
// quoted texts and the punctuation `{`, `}` and `:`; the words are read as
// directives (_column, _skip, _line, _newline, _lrecl, _lines,
// _firstlineoffile), comments (`*` to the end of the line) and variable
// entries: [type] name[:label] [%infmt] ["variable label"]. A comment of
// the form `* label define name # "text"` inside the braces also carries a
// value label mapping (a comment of any other form is passed over).
#include "files/dict.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "data/value.h"
#include "data/vlabel.h"
#include "files/files.h"
#include "files/textsrc.h"
#include "interp/tokenizer.h"
#include "output/errors.h"

namespace {

struct Tok {
  std::string text;
  bool quoted = false;
};

// Splits a line into tokens; a `*` word starts a comment that ends the line.
// False when a quote is not closed.
bool tokenize(const std::string& line, std::vector<Tok>& out) {
  size_t i = 0, n = line.size();
  while (i < n) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '*') break;
    if (c == '{' || c == '}' || c == ':') {
      out.push_back({std::string(1, c), false});
      ++i;
      continue;
    }
    if (c == '"') {
      size_t j = line.find('"', i + 1);
      if (j == std::string::npos) return false;
      out.push_back({line.substr(i + 1, j - i - 1), true});
      i = j + 1;
      continue;
    }
    size_t j = i;
    int depth = 0;
    while (j < n) {
      char d = line[j];
      if (d == '(') ++depth;
      if (d == ')') --depth;
      if (depth <= 0 && (d == ' ' || d == '\t' || d == '\r' || d == '{' || d == '}' || d == ':' || d == '"'))
        break;
      ++j;
    }
    out.push_back({line.substr(i, j - i), false});
    i = j;
  }
  return true;
}

// A whole decimal integer in lo..hi; false otherwise.
bool intarg(const std::string& s, long lo, long hi, long* v) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  *v = std::strtol(s.c_str(), nullptr, 10);
  return *v >= lo && *v <= hi;
}

struct Directive {
  const char* name;
  int min;        // shortest abbreviation
  bool optarg;    // the (#) may be left out (it is then 1)
  long lo, hi;    // range of #
};
const Directive directives[] = {
    {"_column", 7, false, 1, DICT_MAXCOL},        {"_skip", 5, true, 0, DICT_MAXCOL},
    {"_line", 5, false, 1, DICT_MAXLINE},         {"_newline", 8, true, 1, DICT_MAXLINE},
    {"_lrecl", 6, false, 1, DICT_MAXLRECL},       {"_lines", 6, false, 1, DICT_MAXLINE},
    {"_firstlineoffile", 6, false, 1, DICT_MAXLINE},
};

// The directive a word names (with its argument text), or nullptr.
const Directive* finddirective(const std::string& w, std::string& arg, bool* hasarg) {
  size_t paren = w.find('(');
  std::string name = w.substr(0, paren);
  *hasarg = paren != std::string::npos;
  if (*hasarg) {
    if (w.back() != ')') return nullptr;
    arg = w.substr(paren + 1, w.size() - paren - 2);
    while (!arg.empty() && arg.back() == ' ') arg.pop_back();
    while (!arg.empty() && arg.front() == ' ') arg.erase(0, 1);
  }
  for (const Directive& d : directives) {
    size_t ln = std::strlen(d.name);
    if (name.size() >= static_cast<size_t>(d.min) && name.size() <= ln &&
        !std::strncmp(name.c_str(), d.name, name.size()))
      return &d;
  }
  return nullptr;
}

int bad() { return error(RC_BADDICT); }


// Applies a directive. 0 or 614.
int directive(DictParse& p, const Directive& d, const std::string& arg, bool hasarg) {
  long v = 1;
  if (hasarg ? !intarg(arg, d.lo, d.hi, &v) : !d.optarg) return bad();
  const std::string n = d.name;
  if (n == "_column") {
    p.pendcol = static_cast<int>(v);
  } else if (n == "_skip") {
    p.pendskip = static_cast<int>(std::min<long>(p.pendskip + v, DICT_MAXCOL));
  } else if (n == "_line") {
    p.curline = static_cast<int>(v);
  } else if (n == "_newline") {
    if (p.curline + v > DICT_MAXLINE) return bad();
    p.curline += static_cast<int>(v);
  } else if (n == "_lrecl") {
    if (p.setlrecl) return bad();
    p.setlrecl = true;
    p.d.lrecl = static_cast<int>(v);
  } else if (n == "_lines") {
    if (p.setlines) return bad();
    p.setlines = true;
    p.d.lines = static_cast<int>(v);
  } else {
    if (p.setfirst) return bad();
    p.setfirst = true;
    p.d.firstline = static_cast<int>(v);
  }
  return 0;
}

// Reads an input format "%w[.d]{f,g,e}" or "%w{s,S}". 0 or 120.
int infmt(const std::string& f, DictVar& v) {
  size_t i = 1, n = f.size();
  size_t w0 = i;
  while (i < n && std::isdigit(static_cast<unsigned char>(f[i]))) ++i;
  if (i == w0 || i - w0 > 5) return error(RC_BADFORMAT);
  long w = std::strtol(f.c_str() + w0, nullptr, 10);
  long d = 0;
  bool hasdec = false;
  if (i < n && f[i] == '.') {
    size_t d0 = ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(f[i]))) ++i;
    if (i == d0 || i - d0 > 5) return error(RC_BADFORMAT);
    d = std::strtol(f.c_str() + d0, nullptr, 10);
    hasdec = true;
  }
  if (i + 1 != n) return error(RC_BADFORMAT);
  char k = f[i];
  if (k == 'f' || k == 'g' || k == 'e') {
    if (w < 1 || w > DICT_MAXNUMW || d > w - 1) return error(RC_BADFORMAT);
    v.kind = 'f';
  } else if (k == 's' || k == 'S') {
    if (hasdec || w < 1 || w > DICT_MAXSTRW) return error(RC_BADFORMAT);
    v.kind = k;
  } else {
    return error(RC_BADFORMAT);
  }
  v.width = static_cast<int>(w);
  v.dec = static_cast<int>(d);
  return 0;
}

// The mapping of a comment line `* label define name # "text"`; false when
// the line is not one (it is then an ordinary comment).
bool labelcomment(const std::string& s, DictLabel& lab) {
  size_t p = s.find_first_not_of(" \t");
  if (p == std::string::npos || s[p] != '*') return false;
  const auto word = [&](std::string& w) {
    p = s.find_first_not_of(" \t", p);
    if (p == std::string::npos) return false;
    const size_t e = std::min(s.find_first_of(" \t", p), s.size());
    w = s.substr(p, e - p);
    p = e;
    return true;
  };
  ++p;
  std::string w1, w2, num;
  if (!word(w1) || w1 != "label" || !word(w2) || w2 != "define" || !word(lab.name) || !word(num)) return false;
  if (!fa_goodname(lab.name)) return false;
  char* end = nullptr;
  const double v = std::strtod(num.c_str(), &end);
  // the range first: a cast of a value out of it is undefined
  if (num.empty() || *end || !(v >= VL_MINVAL && v <= VL_MAXVAL) || v != std::trunc(v)) return false;
  lab.value = static_cast<int32_t>(v);
  const char *from, *to, *after;
  if (parse_quoted_string(s.c_str() + p, &from, &to, &after)) return false;
  lab.text.assign(from, to);
  return std::strspn(after, " \t\r") == std::strlen(after);
}

// Reads the variable entry starting at token i; advances i past it.
int entry(DictParse& p, const std::vector<Tok>& t, size_t& i) {
  DictVar v;
  v.type = ST_FLOAT;
  if (t[i].quoted) return bad();
  if (int tc = typecode(t[i].text.c_str())) {
    v.type = tc;
    if (++i >= t.size() || t[i].quoted) return bad();
  }
  v.name = t[i].text;
  if (!fa_goodname(v.name)) return bad();
  for (const DictVar& o : p.d.vars)
    if (o.name == v.name) return errmsgf(RC_DEFINED, "%s already defined\n", v.name.c_str());
  ++i;
  if (i < t.size() && !t[i].quoted && t[i].text == ":") {
    if (++i >= t.size() || t[i].quoted || !fa_goodname(t[i].text)) return bad();
    if (isstrtype(v.type)) return error(RC_LABELSTR);
    v.lblname = t[i++].text;
  }
  v.kind = isstrtype(v.type) ? 's' : 'f';
  if (i < t.size() && !t[i].quoted && t[i].text[0] == '%') {
    if (int rc = infmt(t[i].text, v)) return rc;
    ++i;
  }
  if (i < t.size() && t[i].quoted) v.varlab = t[i++].text.substr(0, DICT_MAXLABEL);
  v.line = p.curline;
  v.col = p.pendcol;
  v.skip = p.pendskip;
  v.order = static_cast<int>(p.d.vars.size());
  p.pendcol = p.pendskip = 0;
  p.d.vars.push_back(v);
  return 0;
}

}  // namespace

int Dict::nlines() const {
  if (lines) return lines;
  int m = 1;
  for (const DictVar& v : vars) m = std::max(m, v.line);
  return m;
}

int dict_line(DictParse& p, const std::string& line) {
  if (p.stage == 3) return 0;
  if (DictLabel lab; p.stage == 2 && labelcomment(line, lab)) {
    p.d.labels.push_back(std::move(lab));
    return 0;
  }
  std::vector<Tok> t;
  if (!tokenize(line, t)) return p.stage < 2 ? error(RC_NODICT) : bad();
  size_t i = 0;
  while (i < t.size()) {
    const Tok& k = t[i];
    if (p.stage == 0) {
      if (!k.quoted && k.text == "infile" && !p.sawinfile) {
        p.sawinfile = true;
        ++i;
        continue;
      }
      if (k.quoted || k.text != "dictionary") return error(RC_NODICT);
      p.stage = 1;
      ++i;
      continue;
    }
    if (p.stage == 1) {
      if (!k.quoted && k.text == "using") {
        if (++i >= t.size() || t[i].text == "{" || !p.d.usingfn.empty())
          return errmsgf(RC_SYNTAX, "invalid file specification\n");
        p.d.usingfn = t[i++].text;
        continue;
      }
      if (k.quoted || k.text != "{") return error(RC_NODICT);
      p.stage = 2;
      ++i;
      continue;
    }
    if (!k.quoted && k.text == "}") {
      p.stage = 3;
      return 0;
    }
    if (!k.quoted && !k.text.empty() && k.text[0] == '_') {
      std::string arg;
      bool hasarg;
      if (const Directive* d = finddirective(k.text, arg, &hasarg)) {
        if (int rc = directive(p, *d, arg, hasarg)) return rc;
        ++i;
        continue;
      }
    }
    if (int rc = entry(p, t, i)) return rc;
  }
  return 0;
}

int dict_end(DictParse& p) {
  if (p.stage == 0) return error(RC_NODICT);
  if (p.stage != 3) return error(RC_EOF);
  Dict& d = p.d;
  if (d.vars.empty()) return bad();
  if (d.lines)
    for (const DictVar& v : d.vars)
      if (v.line > d.lines) return bad();
  std::stable_sort(d.vars.begin(), d.vars.end(),
                   [](const DictVar& a, const DictVar& b) { return a.line < b.line; });
  return 0;
}

int dict_switchdata(TextSrc& s, int rc, const std::string& dictusing, bool hasdata, const std::string& datafn) {
  std::string dfn = hasdata ? datafn : dictusing;
  if (!rc && !dfn.empty()) {
    ts_close(s);
    if (dfn.size() > 1 && dfn.front() == '"' && dfn.back() == '"') dfn = dfn.substr(1, dfn.size() - 2);
    rc = ts_open(s, fa_defext(dfn, ".raw"));
  }
  if (rc) ts_close(s);
  return rc;
}
