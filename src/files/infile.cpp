// `infile`: a plain-text data file into an empty dataset, in free format
// (the variables named on the command line, values separated by blanks,
// tabs or commas) or under a dictionary (a .dct file, or the lines after
// `infile dictionary {` in a do-file). The free-format scanner is here; the
// dictionary language is in dict.cpp and its reader in dictread.cpp.
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "expr/expr.h"
#include "files/dict.h"
#include "files/files.h"
#include "files/newdata.h"
#include "files/textload.h"
#include "files/textsrc.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

// The `if` and `in` after the file name, read once the variables exist.
int dict_range(const std::string& text, TlRange& r) {
  ParseResult pr;
  settok(text.c_str());
  if (int rc = parse({.varlist = PERM_NO, .range = PERM_PASTEND}, pr)) return rc;
  r.hasif = pr.hasif;
  r.hasin = pr.hasin;
  r.lo = ds.nobs1;
  r.hi = ds.nobs2;
  return 0;
}

// Creates the dictionary's variables with their labels. 0 or a printed code.
int dict_makevars(const Dict& d, std::vector<int>& vars) {
  for (const DictVar& v : d.vars) {
    if (int rc = addvar(v.name.c_str(), v.type)) return rc;
    ds.lbllist[static_cast<size_t>(ds.nvar)] = v.lblname;
    ds.varlabels[static_cast<size_t>(ds.nvar)] = v.varlab;
    vars.push_back(ds.nvar);
  }
  return 0;
}

// Defines the value labels a dictionary carries, each replacing a table of
// its name. 0 or a printed code.
int dict_labels(const Dict& d) {
  std::vector<std::string> done;
  for (const DictLabel& l : d.labels) {
    if (std::find(done.begin(), done.end(), l.name) == done.end()) {
      vldrop(l.name);
      done.push_back(l.name);
    }
    if (int rc = vlset(vlcreate(l.name), l.value, l.text)) return rc;
  }
  return 0;
}

namespace {

// Bytes of lookahead the scanner keeps in the window: a value never runs
// past a line, and lines are at most TS_MAXLINE bytes.
constexpr size_t LOOKAHEAD = 2 * TS_MAXLINE + 16;

// The free-format scanner's state.
struct FreeScan {
  TextSrc& s;
  bool comma = false;      // comma mode: switched on by the first comma
  bool truncnoted = false; // the truncation note was printed
};

inline bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The next value (steps 1-4 of free format): 1 with *p, *n set (valid until
// the next call), 0 at the end of the input, or -1 (611 printed) for a value
// that runs on past the longest line without a line end.
int nextvalue(FreeScan& f, const char** vp, size_t* vn) {
  TextSrc& s = f.s;
  for (;;) {
    if (s.len - s.pos < LOOKAHEAD && !s.eof) (void)ts_fill(s, LOOKAHEAD);
    const char* b = s.buf.data();
    size_t i = s.pos, end = s.len;
    // 1. Blanks (and outside comma mode line ends) before the value.
    while (i < end && (blank(b[i]) || (!f.comma && b[i] == '\n'))) ++i;
    if (i == end) {
      s.pos = i;
      if (s.eof) return 0;
      continue;
    }
    if (b[i] == ',' || b[i] == '\n') {  // an empty value
      if (b[i] == ',') f.comma = true;
      s.pos = i + 1;
      *vp = b + i;
      *vn = 0;
      return 1;
    }
    // 2. The value: quoted to the same quote or the line end, else a word.
    size_t v0, v1, j;
    if (b[i] == '"' || b[i] == '\'') {
      const char q = b[i];
      v0 = j = i + 1;
      while (j < end && b[j] != q && b[j] != '\n') ++j;
      v1 = j;
      if (j < end && b[j] == q) ++j;
    } else {
      v0 = j = i;
      while (j < end && !blank(b[j]) && b[j] != ',' && b[j] != '\n') ++j;
      v1 = j;
    }
    if (j == end && !s.eof) {  // a line longer than the lookahead: read more and rescan
      s.pos = i;
      if (end - i > TS_MAXLINE) {  // bounded, so input that never ends stops here
        (void)error(RC_RECTOOLONG);
        return -1;
      }
      if (ts_fill(s, s.len - s.pos + LOOKAHEAD) == end - i) s.eof = true;
      continue;
    }
    // 4. The separator after it.
    while (j < end && blank(b[j])) ++j;
    if (j < end && (b[j] == ',' || (f.comma && b[j] == '\n'))) {
      if (b[j] == ',') f.comma = true;
      ++j;
    }
    s.pos = j;
    *vp = b + v0;
    *vn = v1 - v0;
    // 3. Values are cut to the longest string.
    if (*vn > TL_STRMAX) {
      *vn = TL_STRMAX;
      if (!f.truncnoted) {
        f.truncnoted = true;
        int prev = setoutlev(OUT_NOTE);
        spout21f("Data over %zu characters truncated\n", TL_STRMAX);
        setoutlev(prev);
      }
    }
    return 1;
  }
}

// "(eof not at end of obs)" at the text level.
void eofnote() {
  int prev = setoutlev(OUT_TEXT);
  spout21("(eof not at end of obs)\n");
  setoutlev(prev);
}

// The observations a free-format file probably holds: its size over the
// first line's, times the first line's values per observation.
long freehint(TextSrc& s, size_t nvars) {
  size_t have = ts_fill(s, LOOKAHEAD);
  const char* b = s.buf.data() + s.pos;
  const char* nl = static_cast<const char*>(std::memchr(b, '\n', have));
  if (!nl || nl == b || !nvars) return 0;
  size_t words = 0;
  for (const char* p = b; p < nl; ++p)
    if (!blank(*p) && *p != ',' && (p == b || blank(p[-1]) || p[-1] == ',')) ++words;
  struct stat st;
  if (s.fd < 0 || ::fstat(s.fd, &st) != 0) return 0;
  double lines = static_cast<double>(st.st_size) / static_cast<double>(nl - b + 1);
  return static_cast<long>(std::min(lines * static_cast<double>(words) / static_cast<double>(nvars), 1e9));
}

// Free format, observation by observation. 0 or a printed code.
int freeread(TextSrc& s, TextLoad& t, const TlRange& r) {
  FreeScan f{s};
  if (!r.hasif && !r.hasin) t.hint = freehint(s, t.vars.size());
  const size_t k = t.vars.size();
  const char* p;
  size_t n;
  for (long fileobs = 1; !r.past(fileobs); ++fileobs) {
    const long obs = t.kept + 1;
    if (int rc = tl_slot(t, obs)) return rc;
    for (size_t j = 0; j < k; ++j) {
      const int got = nextvalue(f, &p, &n);
      if (got < 0) return RC_RECTOOLONG;
      if (!got) {
        if (j == 0) return 0;
        eofnote();
        tl_blank(t, j, obs);
        if (r.keep(fileobs, obs)) ++t.kept;
        return 0;
      }
      tl_store(t, j, obs, p, n);
    }
    if (r.keep(fileobs, obs)) ++t.kept;
    if ((fileobs & 0xffff) == 0 && ds_pollbreak()) return 1;
  }
  return 0;
}

// Free format with byvariable(#): all values of the first variable, then of
// the second, ... for nobs observations. 0 or a printed code.
int byvarread(TextSrc& s, TextLoad& t, long nobs) {
  FreeScan f{s};
  if (int rc = tl_slot(t, nobs)) return rc;
  const char* p;
  size_t n;
  for (size_t j = 0; j < t.vars.size(); ++j)
    for (long i = 1; i <= nobs; ++i) {
      const int got = nextvalue(f, &p, &n);
      if (got < 0) return RC_RECTOOLONG;
      if (!got) {
        if (j || i > 1) eofnote();
        for (; i <= nobs; ++i) tl_blank(t, j, i);
        for (size_t m = j + 1; m < t.vars.size(); ++m)
          for (long o = 1; o <= nobs; ++o) tl_blank(t, m, o);
        t.kept = (j || i > 1) ? nobs : 0;
        return 0;
      }
      tl_store(t, j, i, p, n);
    }
  t.kept = nobs;
  return 0;
}

// The lines of a dictionary given in a do-file after `infile dictionary`,
// then its data: up to a line `end` or the end of the do-file.
int inlinedict(const std::string& head, DictParse& dp, std::string& data) {
  int rc = dict_line(dp, head);
  std::string line;
  while (dp.stage != 3 && !nextrawline(line))
    if (!rc) rc = dict_line(dp, line);
  if (!rc) rc = dict_end(dp);
  if (dp.d.usingfn.empty()) {
    while (!nextrawline(line)) {
      size_t b = line.find_first_not_of(" \t");
      if (b != std::string::npos && line.compare(b, std::string::npos, "end") == 0) break;
      data += line;
      data += '\n';
    }
  }
  return rc;
}

// Reads a .dct file's dictionary; s is left at the line after its closing
// brace (where data may follow). 0 or a printed code.
int filedict(TextSrc& s, DictParse& dp) {
  std::string line;
  for (;;) {
    int rc = ts_getline(s, line);
    if (rc > 0) return rc;
    if (rc < 0) break;
    if (int r2 = dict_line(dp, line)) return r2;
    if (dp.stage == 3) break;
  }
  return dict_end(dp);
}

// infile varlist using file [if] [in] [, automatic byvariable(#) clear]
// infile using dictfile [if] [in] [, using(datafile) automatic clear]
// infile dictionary [using datafile] { entries } [data]   (in a do-file)
int cmd_infile(int) {
  ParseResult pr;
  std::string line = wheretok(), before, after;
  std::string firstword;
  {
    size_t b = line.find_first_not_of(' ');
    if (b != std::string::npos) firstword = line.substr(b, line.find_first_of(" {", b) - b);
  }
  if (firstword == "dictionary") {  // the lines that follow are read in any case
    DictParse dp;
    std::string data;
    int rc = inlinedict(line, dp, data);
    if (!rc && cmd_bylevel) rc = error(RC_NOBY);
    if (!rc && (ds.nvar || ds.nobs)) rc = error(RC_NOTEMPTY);
    if (rc) return rc;
    TextSrc s;
    if (dp.d.usingfn.empty()) ts_openmem(s, std::move(data));
    else if (int r2 = ts_open(s, fa_defext(dp.d.usingfn, ".raw"))) return r2;
    TextLoad t;
    std::vector<int> vars;
    NewData nd;
    rc = nd_begin(nd);
    if (!rc) rc = dict_makevars(dp.d, vars);
    if (!rc) {
      tl_start(t, vars);
      rc = dict_read(dp.d, s, t, TlRange{});
    }
    if (!rc && s.err) rc = fierr(RC_READ, s.fn.c_str());
    ts_close(s);
    if (rc) return nd_undo(nd, rc);
    nd_commit(nd);
    tl_finish(t);
    return dict_labels(dp.d);
  }
  if (cmd_bylevel) return error(RC_NOBY);
  bool hascomma;
  fa_splitcomma(line, before, after, &hascomma);
  if (int rc = fa_readopts(pr, after)) return rc;
  const bool clear = findopt(pr, "clear", 5, 0) == 1;
  TextLoad t;
  t.automatic = findopt(pr, "automatic", 1, 0) == 1;
  const long byvar = findopta(pr, "byvariable", 1, LONG_MIN);
  std::string datafn;
  const bool hasdata = findargasis(pr, "using", 5, datafn, 4096);
  if (int rc = chkopt(pr)) return rc;
  size_t at = 0;
  if (!fa_hasusing(before, &at)) return required("using");
  const std::string varstext = before.substr(0, at);
  const bool dictform = varstext.find_first_not_of(' ') == std::string::npos;
  if (dictform && byvar != LONG_MIN) return notalow("byvariable()");
  if (!dictform && hasdata) return notalow("using()");
  if (byvar != LONG_MIN && (byvar < 1 || byvar >= obscapacity() - 1))
    return errmsgf(RC_SYNTAX, "byvariable(%ld) invalid\n", byvar);
  std::string fn;
  settok(before.c_str() + at + 5);
  if (gettokfn(fn) || fn.empty()) return required("filename");
  const std::string rest = wheretok();
  fn = fa_defext(fn, dictform ? ".dct" : ".raw");
  if ((ds.nvar || ds.nobs) && !clear) return error(RC_NOTEMPTY);

  TextSrc s;
  if (int rc = ts_open(s, fn)) return rc;
  DictParse dp;
  if (dictform) {
    if (int rc = dict_switchdata(s, filedict(s, dp), dp.d.usingfn, hasdata, datafn)) return rc;
  }
  // The dataset in memory stays aside until the file is read whole.
  NewData nd;
  std::vector<int> vars;
  int rc = nd_begin(nd);
  if (rc) {
    ts_close(s);
    return rc;
  }
  if (dictform) {
    rc = dict_makevars(dp.d, vars);
  } else {
    settok(varstext.c_str());
    rc = ssvlist(VL_NEWTYPED);
    if (!rc) rc = vl_createnew();
    if (!rc) vars = vl.varlist_vr;
  }
  TlRange r;
  if (!rc) rc = dict_range(rest, r);
  if (!rc && byvar != LONG_MIN && r.hasif) rc = notalow("if");
  if (!rc) {
    tl_start(t, vars);
    if (dictform) rc = dict_read(dp.d, s, t, r);
    else if (byvar != LONG_MIN) rc = byvarread(s, t, byvar);
    else rc = freeread(s, t, r);
  }
  if (!rc && s.err) rc = fierr(RC_READ, s.fn.c_str());
  ts_close(s);
  if (rc) return nd_undo(nd, rc);
  nd_commit(nd);
  if (byvar != LONG_MIN && r.hasin && t.kept) {  // the range applies to the whole columns
    const long lo = r.lo, hi = std::min(r.hi, t.kept);
    if (lo > hi) t.kept = 0;
    else {
      (void)keepobsrange(lo, hi);
      t.kept = hi - lo + 1;
    }
  }
  tl_finish(t);
  return dict_labels(dp.d);
}

}  // namespace

void files_bindinfile() {
  cmdbind("infile", cmd_infile);
  files_bindinfix();
  files_bindxport();
  files_bindxml();
}
