// `infix`: fixed-column import. The column list (inline on the
// command line, or between the braces of an `infix dictionary` file) is
// turned into an infile dictionary, one entry per variable with its line,
// first column and width, so that the reading, conversion and the one way
// out on failure are those of infile (dictread.cpp, textload.cpp).
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/store.h"
#include "files/dict.h"
#include "files/files.h"
#include "files/newdata.h"
#include "files/textload.h"
#include "files/textsrc.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"

namespace {

// A token of a column list: a word (letters, digits and
// underscores), or the punctuation `:` and `-`.
struct ColTok {
  std::string text;
  bool number = false;  // all digits
};

// Splits the column-list text into tokens. 0, or 198 printed for any other character.
int coltoks(const std::string& text, std::vector<ColTok>& out) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::isspace(c)) {
      ++i;
    } else if (c == ':' || c == '-') {
      out.push_back({std::string(1, static_cast<char>(c)), false});
      ++i;
    } else if (std::isalnum(c) || c == '_') {
      size_t j = i;
      bool digits = true;
      while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_')) {
        if (!std::isdigit(static_cast<unsigned char>(text[j]))) digits = false;
        ++j;
      }
      out.push_back({text.substr(i, j - i), digits});
      i = j;
    } else {
      return errmsgf(RC_SYNTAX, "infix: '%c' not allowed in a column list\n", c);
    }
  }
  return 0;
}

// A number token in lo..hi into *v; false otherwise.
bool numtok(const ColTok& t, long lo, long hi, long* v) {
  if (!t.number || t.text.size() > 9) return false;
  *v = std::strtol(t.text.c_str(), nullptr, 10);
  return *v >= lo && *v <= hi;
}

// True for "str" followed only by digits (a string type, possibly invalid).
bool strword(const std::string& w) {
  return w.size() > 3 && w.compare(0, 3, "str") == 0 &&
         w.find_first_not_of("0123456789", 3) == std::string::npos;
}

// collist -> [# lines] item ...
// item  -> # ':'                          (the following variables are on line #)
//        | [type] name [# ':'] first['-'last]
// Fills d.vars (ordered by line, then appearance) and d.lines. 0, or a
// printed code: 198 for a malformed, reversed, overlapping or out-of-range
// column list, 110 for a repeated name.
int infix_parse(const std::string& text, Dict& d) {
  std::vector<ColTok> t;
  if (int rc = coltoks(text, t)) return rc;
  size_t i = 0;
  const auto at = [&](size_t k) -> const ColTok* { return k < t.size() ? &t[k] : nullptr; };
  long v = 0;
  if (t.size() >= 2 && t[0].number && (t[1].text == "lines" || t[1].text == "line")) {
    if (!numtok(t[0], 1, DICT_MAXLINE, &v))
      return errmsgf(RC_SYNTAX, "infix: %s lines invalid; an observation spans 1 to %d lines\n", t[0].text.c_str(), DICT_MAXLINE);
    d.lines = static_cast<int>(v);
    i = 2;
  }
  int curline = 1;
  while (i < t.size()) {
    // a line selector
    if (t[i].number && at(i + 1) && at(i + 1)->text == ":") {
      if (!numtok(t[i], 1, DICT_MAXLINE, &v)) return errmsgf(RC_SYNTAX, "infix: line %s invalid\n", t[i].text.c_str());
      curline = static_cast<int>(v);
      i += 2;
      continue;
    }
    DictVar e;
    e.type = 0;
    bool bigstr = false;  // "str" without a width: as wide as its columns
    const std::string& w = t[i].text;
    if (w == "str") {
      bigstr = true;
      e.type = 1;
      ++i;
    } else if (strword(w) || typecode(w.c_str())) {
      e.type = typecode(w.c_str());
      if (!e.type) return errmsgf(RC_SYNTAX, "infix: %s invalid; string types run from str1 to str%d\n", w.c_str(), DICT_MAXSTRW);
      ++i;
    }
    if (!at(i) || at(i)->number || at(i)->text == ":" || at(i)->text == "-") {
      if (!at(i)) return errmsgf(RC_SYNTAX, "infix: variable name expected after %s\n", w.c_str());
      return errmsgf(RC_SYNTAX, "infix: variable name expected, found %s\n", at(i)->text.c_str());
    }
    e.name = t[i++].text;
    if (!fa_goodname(e.name)) return errmsgf(RC_SYNTAX, "%s invalid name\n", e.name.c_str());
    for (const DictVar& o : d.vars)
      if (o.name == e.name) return errmsgf(RC_DEFINED, "%s already defined\n", e.name.c_str());
    if (at(i) && at(i)->number && at(i + 1) && at(i + 1)->text == ":") {
      if (!numtok(t[i], 1, DICT_MAXLINE, &v)) return errmsgf(RC_SYNTAX, "infix: line %s invalid\n", t[i].text.c_str());
      curline = static_cast<int>(v);
      i += 2;
    }
    long first = 0, last = 0;
    if (!at(i) || !at(i)->number)
      return errmsgf(RC_SYNTAX, "infix: %s: columns expected, found %s\n", e.name.c_str(), at(i) ? at(i)->text.c_str() : "nothing");
    if (!numtok(t[i], 1, DICT_MAXCOL, &first))
      return errmsgf(RC_SYNTAX, "infix: %s: column %s invalid; columns run from 1 to %d\n", e.name.c_str(), t[i].text.c_str(), DICT_MAXCOL);
    last = first;
    ++i;
    if (at(i) && at(i)->text == "-") {
      if (!at(i + 1) || !at(i + 1)->number)
        return errmsgf(RC_SYNTAX, "infix: %s: last column expected after %ld-\n", e.name.c_str(), first);
      if (!numtok(t[i + 1], 1, DICT_MAXCOL, &last))
        return errmsgf(RC_SYNTAX, "infix: %s: column %s invalid; columns run from 1 to %d\n", e.name.c_str(), t[i + 1].text.c_str(), DICT_MAXCOL);
      i += 2;
      if (last < first)
        return errmsgf(RC_SYNTAX, "infix: %s: columns %ld-%ld run backwards\n", e.name.c_str(), first, last);
    }
    const long width = last - first + 1;
    if (bigstr) {
      if (width > DICT_MAXSTRW)
        return errmsgf(RC_SYNTAX, "infix: %s: a string field spans at most %d columns, not %ld\n", e.name.c_str(), DICT_MAXSTRW, width);
      e.type = static_cast<int>(width);
    }
    if (!e.type) e.type = ST_FLOAT;
    e.kind = isstrtype(e.type) ? 's' : 'f';
    e.width = static_cast<int>(std::min<long>(width, isstrtype(e.type) ? DICT_MAXSTRW : DICT_MAXCOL));
    if (isstrtype(e.type) && width > DICT_MAXSTRW)
      return errmsgf(RC_SYNTAX, "infix: %s: a string field spans at most %d columns, not %ld\n", e.name.c_str(), DICT_MAXSTRW, width);
    e.col = static_cast<int>(first);
    e.line = curline;
    e.order = static_cast<int>(d.vars.size());
    d.vars.push_back(e);
  }
  if (d.vars.empty()) return errmsgf(RC_SYNTAX, "infix: no variables specified\n");
  for (const DictVar& e : d.vars)
    if (d.lines && e.line > d.lines)
      return errmsgf(RC_SYNTAX, "infix: %s is on line %d, but an observation spans %d line%s\n", e.name.c_str(), e.line,
                     d.lines, d.lines == 1 ? "" : "s");
  // Fields of one line may not share a column.
  std::vector<const DictVar*> byc;
  for (const DictVar& e : d.vars) byc.push_back(&e);
  std::stable_sort(byc.begin(), byc.end(), [](const DictVar* a, const DictVar* b) {
    return a->line != b->line ? a->line < b->line : a->col < b->col;
  });
  for (size_t k = 1; k < byc.size(); ++k) {
    const DictVar& a = *byc[k - 1];
    const DictVar& b = *byc[k];
    if (a.line == b.line && b.col < a.col + a.width)
      return errmsgf(RC_SYNTAX, "infix: %s (columns %d-%d) and %s (columns %d-%d) overlap on line %d\n", a.name.c_str(), a.col,
                     a.col + a.width - 1, b.name.c_str(), b.col, b.col + b.width - 1, a.line);
  }
  std::stable_sort(d.vars.begin(), d.vars.end(), [](const DictVar& a, const DictVar& b) { return a.line < b.line; });
  return 0;
}

// Reads an infix dictionary from s:
//   [infix] dictionary [using datafile] { collist ... }
// with `*` starting a comment line; s is left at the line after the closing
// brace (where the data may follow). 0 or a printed code (613 no dictionary,
// 612 no closing brace, 198 for the column list).
int infix_dictfile(TextSrc& s, Dict& d) {
  std::string line, head, body;
  int stage = 0;  // 0 header, 1 body
  for (;;) {
    int rc = ts_getline(s, line);
    if (rc > 0) return rc;
    if (rc < 0) return stage ? error(RC_EOF) : error(RC_NODICT);
    size_t b = line.find_first_not_of(" \t\r");
    if (b == std::string::npos || line[b] == '*') continue;
    if (stage == 0) {
      const size_t brace = line.find('{');
      head += ' ' + line.substr(0, brace);
      if (brace == std::string::npos) continue;
      stage = 1;
      line = line.substr(brace + 1);
    }
    const size_t close = line.find('}');
    body += ' ' + line.substr(0, close);
    if (close != std::string::npos) {
      if (line.find_first_not_of(" \t\r", close + 1) != std::string::npos)
        return errmsgf(RC_BADDICT, "infix dictionary: text after the closing brace\n");
      break;
    }
  }
  // head -> [infix] dictionary [using filename]
  std::vector<std::string> w;
  for (size_t i = 0; i < head.size();) {
    i = head.find_first_not_of(" \t\r", i);
    if (i == std::string::npos) break;
    size_t j;
    if (head[i] == '"') {
      j = head.find('"', i + 1);
      if (j == std::string::npos) return errmsgf(RC_SYNTAX, "invalid file specification\n");
      w.push_back(head.substr(i + 1, j - i - 1));
      ++j;
    } else {
      j = std::min(head.find_first_of(" \t\r", i), head.size());
      w.push_back(head.substr(i, j - i));
    }
    i = j;
  }
  size_t k = 0;
  if (k < w.size() && w[k] == "infix") ++k;
  if (k >= w.size() || w[k] != "dictionary") return error(RC_NODICT);
  ++k;
  if (k < w.size() && w[k] == "using") {
    if (k + 1 >= w.size()) return errmsgf(RC_SYNTAX, "invalid file specification\n");
    d.usingfn = w[k + 1];
    k += 2;
  }
  if (k != w.size()) return errmsgf(RC_NODICT, "infix dictionary: %s unexpected before {\n", w[k].c_str());
  return infix_parse(body, d);
}

// infix collist using datafile [if] [in] [, clear]
// infix using dictfile [if] [in] [, using(datafile) clear]
int cmd_infix(int) {
  ParseResult pr;
  if (cmd_bylevel) return error(RC_NOBY);
  std::string before, after;
  bool hascomma;
  fa_splitcomma(wheretok(), before, after, &hascomma);
  if (int rc = fa_readopts(pr, after)) return rc;
  const bool clear = findopt(pr, "clear", 5, 0) == 1;
  std::string datafn;
  const bool hasdata = findargasis(pr, "using", 5, datafn, 4096);
  if (int rc = chkopt(pr)) return rc;
  size_t at = 0;
  if (!fa_hasusing(before, &at)) return required("using");
  const std::string collist = before.substr(0, at);
  const bool dictform = collist.find_first_not_of(' ') == std::string::npos;
  if (!dictform && hasdata) return notalow("using()");
  std::string fn;
  settok(before.c_str() + at + 5);
  if (gettokfn(fn) || fn.empty()) return required("filename");
  const std::string rest = wheretok();
  fn = fa_defext(fn, dictform ? ".dct" : ".raw");
  Dict d;
  if (!dictform)
    if (int rc = infix_parse(collist, d)) return rc;
  if ((ds.nvar || ds.nobs) && !clear) return error(RC_NOTEMPTY);

  TextSrc s;
  if (int rc = ts_open(s, fn)) return rc;
  if (dictform) {
    if (int rc = dict_switchdata(s, infix_dictfile(s, d), d.usingfn, hasdata, datafn)) return rc;
  }
  // The dataset in memory stays aside until the file is read whole.
  NewData nd;
  std::vector<int> vars;
  TextLoad t;
  TlRange r;
  int rc = nd_begin(nd);
  if (!rc) rc = dict_makevars(d, vars);
  if (!rc) rc = dict_range(rest, r);
  if (!rc) {
    tl_start(t, vars);
    rc = dict_read(d, s, t, r);
  }
  if (!rc && s.err) rc = fierr(RC_READ, s.fn.c_str());
  ts_close(s);
  if (rc) return nd_undo(nd, rc);
  nd_commit(nd);
  tl_finish(t);
  return 0;
}

}  // namespace

void files_bindinfix() { cmdbind("infix", cmd_infix); }
