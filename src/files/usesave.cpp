// The commands that move a whole dataset between memory and a .dta file:
// `use` (whole file, or a varlist/if/in subset read in one pass), `save`,
// and `describe using`. They set S_FN and S_FNDATE, clear the changed flag,
// and refuse to replace changed data without `clear`.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "files/byteorder.h"
#include "files/dta.h"
#include "files/files.h"
#include "files/newdata.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"

namespace {

void splitcomma(const std::string& line, std::string& before, std::string& after, bool* hascomma) {
  fa_splitcomma(line, before, after, hascomma);
}
int readopts(ParseResult& pr, const std::string& text) { return fa_readopts(pr, text); }
bool hasusingword(const std::string& before, size_t* at) { return fa_hasusing(before, at); }
int filename_of(const std::string& text, std::string& fn) { return fa_filename(text, fn, ".dta"); }

// The variable to hold file variable v: an ordinary variable, or the
// estimation-sample marker (a name users cannot type). 0 or a printed code.
int makevar(const DtaVar& v) {
  if (v.name == "(e)") {
    if (int rc = addwrkvar(v.type)) return rc;
    ds.varlist[static_cast<size_t>(ds.nvar)] = "(e)";
    return 0;
  }
  return addvar_uninit(v.name.c_str(), v.type);
}

// Creates the file's variables (no observations) with their formats,
// value-label names, variable labels and the dataset label and sort list.
int makevars(const DtaIn& f) {
  long need = f.lrecl + 2;
  if (need > ds.syslrecl)
    if (int rc = setwidth(need + (need & 1))) return error(rc);
  for (const DtaVar& v : f.vars) {
    if (int rc = makevar(v)) return rc;
    size_t k = static_cast<size_t>(ds.nvar);
    int kind = isstrtype(v.type) ? FMTK_STR : FMTK_NUM;
    if (!v.fmt.empty() && chkfmt(v.fmt.c_str(), kind) == 0) ds.fmtlist[k] = v.fmt;
    if (!isstrtype(v.type)) ds.lbllist[k] = v.lblname;
    ds.varlabels[k] = v.varlab;
  }
  ds.datalbl = f.datalbl.substr(0, 80);
  ds.srtlist = f.srt;
  return 0;
}

// Puts records first..first+n-1 of the block (numbers in the file's byte
// order) into observations obs.., a column at a time through the store's
// views.
void putcells(const DtaIn& f, const unsigned char* blk, long first, long n, long obs,
              std::vector<char>& hit333) {
  const bool d333 = f.rel->dbl333;
  const size_t lrecl = static_cast<size_t>(f.lrecl);
  for (size_t k = 0; k < f.vars.size(); ++k) {
    const DtaVar& v = f.vars[k];
    const ColView col = colview(static_cast<int>(k) + 1);
    if (dta_cellfield(v)) {
      dta_copyfield(f, v, col, blk + static_cast<size_t>(first) * lrecl, n, obs);
      continue;
    }
    const unsigned char* p = blk + static_cast<size_t>(first) * lrecl + static_cast<size_t>(v.off);
    for (long r = 0; r < n; ++r, p += lrecl) {
      unsigned char cell[8];
      std::memcpy(cell, p, static_cast<size_t>(v.width));
      if (f.swap) bo_swap(cell, v.width);
      double x = dta_decode(v.type, cell, d333);
      if (d333 && x >= misval && v.type == ST_LDOUBLE) {
        double raw;
        std::memcpy(&raw, cell, 8);
        if (raw == misval_107) hit333[k] = 1;
      }
      col.put(obs + r, x);
    }
  }
}

// Observations of the subset form: the in range (file numbering) and the if.
struct Subset {
  bool on = false;
  long lo = 1, hi = 0;
  bool hasif = false;
  std::vector<int> keep;  // variables named (all when empty)
};

// Bytes of records a subset is read in at a time: they go into the
// observations after those kept so far, and the `if` then keeps some.
constexpr long kStretch = 8L << 20;

// Copies every cell of observation from to observation to.
void copyobs(const std::vector<ColView>& cols, long from, long to) {
  for (const ColView& c : cols) std::memcpy(c.at(to), c.at(from), static_cast<size_t>(c.stride));
}

// Moves the cells at p (W bytes each, or w when W is 0) whose sel is set
// to the front, in order. A cell moves only past one dropped, so the copies
// never overlap. Fixed sizes copy every cell and advance by the flag: about
// half the records may be kept, and a branch on each would be guessed wrong.
template <size_t W>
void packcells(unsigned char* p, const unsigned char* sel, long n, size_t w = W) {
  unsigned char* to = p;
  for (long i = 0; i < n; ++i, p += (W ? W : w)) {
    if constexpr (W > 0) {
      std::memmove(to, p, W);
      to += W * (sel[i] != 0);
    } else if (sel[i]) {
      if (to != p) std::memcpy(to, p, w);
      to += w;
    }
  }
}

// Moves the cells of the observations after filled of those n that the `if`
// selects to follow observation filled, a column at a time; the count kept
// so far.
long keepselected(const std::vector<ColView>& cols, long filled, long n) {
  std::vector<unsigned char> sel(static_cast<size_t>(n));
  for (long o = 0; o < n; o += EXPR_BLOCK) selobs_block(filled + 1 + o, std::min(EXPR_BLOCK, n - o), sel.data() + o);
  for (const ColView& c : cols) {
    switch (c.stride) {  // fixed sizes let the copies inline
      case 8: packcells<8>(c.at(filled + 1), sel.data(), n); break;
      case 4: packcells<4>(c.at(filled + 1), sel.data(), n); break;
      case 2: packcells<2>(c.at(filled + 1), sel.data(), n); break;
      case 1: packcells<1>(c.at(filled + 1), sel.data(), n); break;
      default: packcells<0>(c.at(filled + 1), sel.data(), n, static_cast<size_t>(c.stride));
    }
  }
  return filled + static_cast<long>(std::count(sel.begin(), sel.end(), 1));
}

// The subset of a file whose fields are all cells, read a stretch at a time
// in large pieces on both cores: the `in` range only, then the observations
// the `if` selects moved together. Each record is evaluated at the place it
// is kept, right after those kept before it, as when records are read one at
// a time (or in place, where that cannot change what it selects).
int loadsubset(DtaIn& f, const Subset& s) {
  const long hi = std::min(s.hi, f.nobs);
  const long per = std::max(1L, kStretch / f.lrecl);
  // An `if` that reads only its own observation, not _n or _N, selects the
  // same records wherever they stand: it is evaluated in blocks in place.
  const ExprProg& c = ex.ifpgm;
  const bool blockif = c.blockok && c.text.find("_n") == std::string::npos && c.text.find("_N") == std::string::npos;
  // Variables neither kept nor read by such an `if` are left unread (and
  // dropped at the end).
  std::vector<char> want(f.vars.size(), s.keep.empty() || !blockif ? 1 : 0);
  for (int v : s.keep) want[static_cast<size_t>(v - 1)] = 1;
  for (int v : c.vars)
    if (v >= 1 && static_cast<size_t>(v) <= want.size()) want[static_cast<size_t>(v - 1)] = 1;
  long filled = 0;
  for (long rec = s.lo - 1; rec < hi;) {
    const long n = std::min({per, hi - rec, obscapacity() - 1 - filled});
    if (n < 1) return error(RC_NOROOMOBS);
    // Every cell of these observations is written before it is read.
    if (filled + n > ds.nobs)
      if (int rc = setobs_uninit(filled + n)) return rc;
    if (int rc = dta_loadrange(f, rec, n, filled + 1, &want)) return rc;
    rec += n;
    if (!s.hasif) {
      filled += n;
      continue;
    }
    std::vector<ColView> cols;
    for (int v = 1; v <= ds.nvar; ++v)
      if (want[static_cast<size_t>(v - 1)]) cols.push_back(colview(v));
    if (blockif) {
      filled = keepselected(cols, filled, n);
      continue;
    }
    long to = filled + 1;
    for (long i = filled + 1; i <= filled + n; ++i) {
      if (i != to) copyobs(cols, i, to);
      if (selobs(to)) ++to;
      if ((i & 0xffff) == 0 && ds_pollbreak()) return 1;
    }
    filled = to - 1;
  }
  (void)keepobsrange(1, filled);
  return 0;
}

// Loads every record (or the subset) into the variables just made.
int loadrecords(DtaIn& f, const Subset& s, std::vector<char>& hit333) {
  if (!s.on && f.nobs > 0) {
    if (f.nobs >= obscapacity()) return error(RC_NOROOMOBS);
    // Every cell is written below, or the caller drops the dataset.
    if (int rc = setobs_uninit(f.nobs)) return rc;
  }
  f.keeporder = true;
  const bool cells = std::all_of(f.vars.begin(), f.vars.end(), dta_cellfield);
  if (!s.on && cells) return dta_loadall(f);
  if (s.on && cells && f.lrecl > 0) return loadsubset(f, s);
  const long per = std::max(2L, f.lrecl ? (1L << 20) / f.lrecl : 1L);
  std::vector<unsigned char> blk(static_cast<size_t>(per * std::max(f.lrecl, 1L)));
  long filled = 0, recno = 0;
  while (true) {
    if (ds_pollbreak()) return 1;
    long got;
    if (f.lrecl == 0) {  // records of no bytes: only their count matters, so take them at once
      got = f.nobs - f.nread;
      if (s.on) got = std::min(got, std::max(1L, s.hi - recno));
      f.nread += got;
    } else if (int rc = dta_readrecs(f, blk.data(), per, &got)) {
      return rc;
    }
    if (got == 0) break;
    if (!s.on) {
      putcells(f, blk.data(), 0, got, recno + 1, hit333);
      recno += got;
      continue;
    }
    for (long r = 0; r < got; ++r) {
      ++recno;
      if (recno < s.lo || recno > s.hi) continue;
      if (filled + 1 > ds.nobs) {  // grow in steps, as far as memory allows
        long want = std::min(ds.nobs + std::max(1024L, ds.nobs / 2), s.hi - s.lo + 1);
        want = std::min(want, obscapacity() - 1);
        if (want < filled + 1) return error(RC_NOROOMOBS);
        if (int rc = setobs_quiet(want)) return rc;
      }
      putcells(f, blk.data(), r, 1, filled + 1, hit333);
      if (!s.hasif || selobs(filled + 1)) ++filled;
    }
    if (s.on && recno >= s.hi) break;
  }
  if (s.on) (void)keepobsrange(1, filled);
  return 0;
}

// Converts the legacy types of an old file to modern ones, promoting a
// variable whose values do not fit the modern range.
int modernise() {
  for (int v = 1; v <= ds.nvar; ++v) {
    int t = vartype(v);
    if (t < ST_LBYTE || t > ST_LDOUBLE) continue;
    int nt = dta_modern(t);
    double top = nt == ST_BYTE ? 100 : nt == ST_INT ? 32740 : nt == ST_LONG ? 2147483620.0 : 0;
    if (top > 0) {
      double mx = -1e300;
      for (long i = 1; i <= ds.nobs; ++i) {
        double x = zelta_data(v, i);
        if (!ismissing(x) && x > mx) mx = x;
      }
      if (mx > 2147483620.0) nt = ST_DOUBLE;
      else if (mx > 32740) nt = std::max(nt, int(ST_LONG));
      else if (mx > 100) nt = std::max(nt, int(ST_INT));
    }
    if (int rc = change_vartype(v, nt)) return rc;
  }
  return 0;
}

// Characteristics of the file for the variables now in memory.
void putchars(const DtaIn& f) {
  for (const DtaChar& c : f.chars) {
    std::string owner = c.owner;
    if (f.renamed && owner != "_dta") {
      for (size_t k = 0; k < f.oldnames.size(); ++k)
        if (f.oldnames[k] == owner) owner = f.vars[k].name;
    }
    if (owner != "_dta" && !findvarexact(owner.c_str())) continue;
    charset(owner.c_str(), c.name.c_str(), c.text);
  }
}

// Fix-ups of old releases; their warnings go to `notes`, shown once the
// read has succeeded.
void oldfixups(const DtaIn& f, const std::vector<char>& hit333, std::string& notes) {
  if (f.renamed)
    for (size_t k = 0; k < f.vars.size(); ++k)
      if (f.oldnames[k] != f.vars[k].name)
        notes += "Warning:  renamed " + f.oldnames[k] + " to " + f.vars[k].name + "\n";
  bool sortedhit = false;
  for (int s : ds.srtlist)
    if (s >= 1 && static_cast<size_t>(s) <= hit333.size() && hit333[static_cast<size_t>(s - 1)]) sortedhit = true;
  if (sortedhit) {
    std::string keys;
    for (int s : ds.srtlist) keys += " " + varname(s);
    notes += "Warning:  old-format data was sorted by" + keys + "\n";
    notes += "due to changes in Zelta, the sort information had to be cleared\n";
    notes += "in this case; you must reissue the sort command if you care\n";
    ds.srtlist.clear();
  }
}

// Words of a `use` varlist checked against the file's names first, so that
// a pattern gets the messages of this command.
int checkpatterns(const std::string& text, const DtaIn& f) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    size_t j = i;
    while (j < text.size() && text[j] != ' ') ++j;
    std::string w = text.substr(i, j - i);
    i = j;
    if (w == "if" || w == "in") break;
    if (w.find_first_of("*?~") == std::string::npos) continue;
    int n = 0;
    for (const DtaVar& v : f.vars)
      if (v.name != "(e)" && vlmatch(w.c_str(), v.name.c_str())) ++n;
    if (n == 0) return errmsgf(RC_NOTFOUND, "no variables found matching %s\n", w.c_str());
    if (n > 1 && w.find('~') != std::string::npos && w.find_first_of("*?") == std::string::npos)
      return errmsgf(RC_NOTFOUND, "%s matches more than one variable\n", w.c_str());
  }
  return 0;
}

// Parses `varlist [if] [in]` against the variables just made (no
// observations yet; `in` counts the file's records).
int parsesubset(const std::string& text, long filenobs, Subset& s) {
  ParseResult pr;
  s.on = true;
  settok(text.c_str());
  long keepnobs = ds.nobs;
  ds.nobs = filenobs;  // `in` ranges count the file's records
  int rc = parse({}, pr);
  ds.nobs = keepnobs;
  if (rc) return rc;
  s.hasif = pr.hasif;
  s.lo = pr.hasin ? ds.nobs1 : 1;
  s.hi = pr.hasin ? ds.nobs2 : filenobs;
  if (pr.hasvarlist) s.keep = vl.varlist_vr;
  return 0;
}

void setfnmacros(const std::string& fn, const std::string& stamp) {
  macset_global("S_FN", fn);
  macset_global("S_FNDATE", stamp);
}

// use filename [, clear nolabel example]
// use [varlist] [if] [in] using filename [, clear nolabel example]
int cmd_use(int) {
  ParseResult pr;
  std::string line = wheretok(), before, after;
  bool hascomma;
  splitcomma(line, before, after, &hascomma);
  if (int rc = readopts(pr, after)) return rc;
  bool clear = findopt(pr, "clear", 5, 0) == 1;
  if (findopt(pr, "replace", 7, 0) == 1) clear = true;
  bool nolabel = findopt(pr, "nolabel", 5, 0) == 1;
  bool example = findopt(pr, "example", 7, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  size_t at = 0;
  bool subset = hasusingword(before, &at);
  std::string fn;
  if (int rc = filename_of(subset ? before.substr(at + 5) : before, fn)) return rc;
  if (example) {  // a dataset shipped in the system directory, by name
    if (fn.find('/') != std::string::npos) return errmsgf(RC_SYNTAX, "%s: example datasets are named without a folder\n", fn.c_str());
    fn = interp.sysdir + "examples/" + fn;
  }
  std::string subtext = subset ? before.substr(0, at) : "";
  if (ds.updata && !clear) return error(RC_DATALOST);

  DtaIn f;
  if (int rc = dta_open(f, fn)) return rc;
  int rc = subset ? checkpatterns(subtext, f) : 0;
  // The dataset in memory stays aside until the file is read whole.
  NewData nd;
  if (!rc) rc = nd_begin(nd);
  if (rc) {
    dta_close(f);
    return rc;
  }
  std::vector<char> hit333(f.vars.size(), 0);
  Subset s;
  rc = makevars(f);
  if (!rc && subset) rc = parsesubset(subtext, f.nobs, s);
  if (!rc) rc = loadrecords(f, s, hit333);
  std::vector<DtaLabel> labels;
  if (!rc && !nolabel) rc = dta_readlabels(f, labels);
  dta_close(f);
  std::string notes;
  if (!rc) oldfixups(f, hit333, notes);
  if (!rc && f.rel->legacy) rc = modernise();
  if (!rc && !s.keep.empty()) rc = droporkeepvars(s.keep, true);
  if (rc) return nd_undo(nd, rc);
  nd_commit(nd);
  // the file's label and warnings only for a read that succeeded
  if (!ds.datalbl.empty()) spout21f("(%s)\n", ds.datalbl.c_str());
  spout21(notes.c_str());
  putchars(f);
  if (!labels.empty()) dtalbl_install(labels);
  setfnmacros(fn, f.stamp);
  ds.updata = false;
  return 0;
}

// save [filename] [, replace nolabel orphans oldformat cortelle all emptyok]
int cmd_save(int) {
  ParseResult pr;
  std::string line = wheretok(), before, after;
  bool hascomma;
  splitcomma(line, before, after, &hascomma);
  if (int rc = readopts(pr, after)) return rc;
  DtaOutOpts o;
  bool replace = findopt(pr, "replace", 7, 0) == 1;
  o.nolabel = findopt(pr, "nolabel", 7, 0) == 1;
  o.orphans = findopt(pr, "orphans", 7, 0) == 1;
  bool old = findopt(pr, "oldformat", 3, 0) == 1;
  bool cortelle = findopt(pr, "cortelle", 8, 0) == 1;
  o.all = findopt(pr, "all", 3, 0) == 1;
  bool emptyok = findopt(pr, "emptyok", 7, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  o.release = old ? (cortelle ? 110 : 111) : 113;
  std::string fn;
  if (before.empty()) {
    const std::string* last = macget_global("S_FN");
    if (!last || last->empty()) return errmsgf(RC_SYNTAX, "invalid file specification\n");
    fn = *last;
  } else if (int rc = filename_of(before, fn)) {
    return rc;
  }
  struct stat st;
  if (!replace && ::stat(fn.c_str(), &st) == 0) return fierr(RC_FILEEXISTS, fn.c_str());
  if (ds.nvar == 0 && !emptyok) return error(RC_NOTFOUND);
  if (ds.nobs == 0) spout21("(note: dataset contains 0 observations)\n");
  std::string stamp;
  if (int rc = dta_write(fn, o, stamp)) return rc;
  (void)fierr(RC_FILESAVED, fn.c_str());
  if (o.release != 113) {
    drop_all();  // memory held the values in the old encoding for the write
  }
  setfnmacros(fn, stamp);
  ds.updata = false;
  return 0;
}

std::string padr(std::string s, size_t w) {
  if (s.size() < w) s.append(w - s.size(), ' ');
  return s;
}

// describe [varlist] using filename [, short]: the file's descriptors.
int describe_using(ParseResult& pr, const std::string& before, const std::string& after) {
  if (int rc = readopts(pr, after)) return rc;
  bool shortform = findopt(pr, "short", 1, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  size_t at = 0;
  (void)hasusingword(before, &at);
  std::string fn;
  if (int rc = filename_of(before.substr(at + 5), fn)) return rc;
  std::vector<std::string> words;
  {
    std::string t = before.substr(0, at);
    size_t i = 0;
    while (i < t.size()) {
      while (i < t.size() && t[i] == ' ') ++i;
      size_t j = i;
      while (j < t.size() && t[j] != ' ') ++j;
      if (j > i) words.push_back(t.substr(i, j - i));
      i = j;
    }
  }
  DtaIn f;
  if (int rc = dta_open(f, fn)) return rc;
  dta_close(f);
  std::vector<char> show(f.vars.size(), words.empty() ? 1 : 0);
  for (const std::string& w : words) {
    int n = 0;
    for (size_t k = 0; k < f.vars.size(); ++k)
      if (f.vars[k].name == w || vlmatch(w.c_str(), f.vars[k].name.c_str())) show[k] = 1, ++n;
    if (!n) return errmsgf(RC_NOTFOUND, "variable %s not found\n", w.c_str());
  }
  int linesize = out.linesize > 0 ? out.linesize : 80;
  std::string rule(static_cast<size_t>(linesize - 1), '-');
  auto put = [](const std::string& s) { spoutnosml((s + "\n").c_str()); };
  put("");
  put("Contains data");
  char buf[256];
  std::snprintf(buf, sizeof buf, "  obs:%14s                          %s", fmt_commas(f.nobs).c_str(), f.datalbl.c_str());
  put(buf);
  std::snprintf(buf, sizeof buf, " vars:%14s                          %s", fmt_commas(f.nvar).c_str(), f.stamp.c_str());
  put(buf);
  std::snprintf(buf, sizeof buf, " size:%14s", fmt_commas(f.nobs * f.lrecl).c_str());
  put(buf);
  if (!shortform) {
    put(rule);
    put("              storage  display     value");
    put("variable name   type   format      label      variable label");
    put(rule);
    for (size_t k = 0; k < f.vars.size(); ++k) {
      if (!show[k]) continue;
      const DtaVar& v = f.vars[k];
      int t = dta_modern(v.type);
      std::string name = v.name.size() > 15 ? abvar(v.name, 15) : v.name;
      put(padr(name, 15) + " " + padr(typename_of(t), 7) + padr(v.fmt, 12) + padr(v.lblname, 11) + v.varlab);
    }
  }
  put(rule);
  std::string sorted = "Sorted by:";
  for (int s : f.srt) sorted += "  " + f.vars[static_cast<size_t>(s - 1)].name;
  put(sorted);
  return 0;
}

// _dtadescribe: describe using a file, otherwise the dataset in memory.
int cmd_dtadescribe(int) {
  ParseResult pr;
  std::string line = wheretok(), before, after;
  bool hascomma;
  splitcomma(line, before, after, &hascomma);
  size_t at;
  if (!hasusingword(before, &at)) return execline("_describe " + line);
  return describe_using(pr, before, after);
}

}  // namespace

void files_bindcommands() {
  cmdbind("use", cmd_use, 0);
  cmdbind("save", cmd_save, 0);
  cmdbind("_dtadescribe", cmd_dtadescribe, 0);
  files_bindcombine();
  files_binddircmds();
  files_bindutilcmds();
  files_bindpost();
  files_bindinfile();
  files_bindinsheet();
  files_bindoutsheet();
  files_bindoutfile();
  files_bindfile();
  files_bindodbc();
  files_bindxlsx();
}
