// tabdisp: a table of the values of up to five variables, laid out by the
// values of a row variable, optionally a column and a super-column variable,
// and optionally blocks of rows by super-row variables:
//   tabdisp rowvar [colvar [supercolvar]] [if] [in], cellvar(varlist)
//       [by(superrowvars) format(%fmt) center left concise missing totals
//        cellwidth(#) csepwidth(#) stubwidth(#)]
// Each cell shows the values of the one observation that falls in it (the
// variables must identify the observations); nothing is computed, so a
// table of statistics is made first (collapse, grpstat) and shown with it.
#include <algorithm>
#include <cstdint>
#include <map>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "output/textwidth.h"
#include "platform/platform.h"
#include "stats/levels.h"
#include "stats/stats.h"

namespace {

constexpr int MAXCELLVARS = 5;  // variables shown in a cell
constexpr int MAXBYVARS = 4;    // super-row variables
constexpr int MAXCOLS = 1000;   // columns of a table (all super-columns)
constexpr int MAXWIDTH = 80;    // cellwidth() and stubwidth() at most

enum Align { AL_RIGHT, AL_CENTER, AL_LEFT };

struct TdOpts {
  std::vector<int> cells;   // cellvar() variables
  std::vector<int> by;      // by() variables
  std::string fmt;          // format(), "" for each variable's own
  Align align = AL_RIGHT;
  bool concise = false, missing = false, totals = false;
  int cellwidth = 0, csep = 2, stubwidth = 0;  // 0: found from the texts
};

// A key variable's levels over the sample and each observation's level, with
// the system missing value (a string's empty text) moved last when it stands
// for totals.
struct Key {
  int var = 0;
  Levels lv;
  LvCodes code;
  int total = -1;  // level that shows "Total", -1 when none
  std::vector<int> rank;  // display position of each level
  std::string text(int k) const { return k == total ? std::string("Total") : lv_text(lv, k, var, false); }
};

int loadkey(int var, const StSample& s, bool totals, Key& k) {
  k.var = var;
  if (int rc = lv_code(var, -1, s, true, k.lv, &k.code)) return rc;
  const int n = k.lv.n();
  k.rank.resize(static_cast<size_t>(n));
  for (int j = 0; j < n; ++j) k.rank[static_cast<size_t>(j)] = j;
  // the total is the system missing value, or the empty text of a string
  if (totals)
    for (int j = 0; j < n; ++j)
      if (k.lv.isstr ? k.lv.svals[static_cast<size_t>(j)].empty() : k.lv.vals[static_cast<size_t>(j)] == misval) {
        k.total = j;
        // levels after it move up one place; it goes last
        for (int i = j + 1; i < n; ++i) --k.rank[static_cast<size_t>(i)];
        k.rank[static_cast<size_t>(j)] = n - 1;
      }
  return 0;
}

std::string trim(const std::string& t) {
  const size_t a = t.find_first_not_of(' ');
  if (a == std::string::npos) return std::string();
  return t.substr(a, t.find_last_not_of(' ') - a + 1);
}

// The text of variable v at obs under the table's rules: strings as they
// are, numbers under format() or their own format, value labels where the
// value has one, missing values blank unless `missing`. *isnum is set for a
// number shown as one (which a narrow cell must not cut).
std::string celltext(int v, long obs, const TdOpts& o, bool* isnum) {
  *isnum = false;
  if (isstrtype(vartype(v))) {
    std::string t;
    szelta_data(v, obs, t);
    return t;
  }
  const double x = zelta_data(v, obs);
  std::string t;
  if (vlvartext(v, x, t)) return t;
  if (x >= misval && !o.missing) return std::string();
  const std::string& f = o.fmt.empty() ? ds.fmtlist[static_cast<size_t>(v)] : o.fmt;
  *isnum = true;
  return trim(sreforms(f.c_str(), x));
}

// text cut or padded to w columns under the alignment.
std::string fit(std::string t, int w, Align a) {
  t.resize(u8fit(t, w));
  return u8pad(t, w, a == AL_LEFT ? -1 : a == AL_CENTER ? 0 : 1);
}

// The title of a variable: its label, else its name.
std::string title(int v) {
  const std::string& l = ds.varlabels[static_cast<size_t>(v)];
  return l.empty() ? varname(v) : l;
}

// One column of the table: a super-column level (or -1) and a column level
// (or -1), or in a table without a column variable the cell variable shown.
struct Col {
  int sup = -1, col = -1, cellvar = -1;
};

// One line of the body: a block header (row < 0) or a row of a block; a row
// with several cell variables takes one line for each (sub).
struct Table {
  std::vector<Key> keys;  // super-rows..., row, [super-column], [column]
  size_t nby = 0;         // the super-row keys come first
  bool hascol = false, hassup = false;
  std::vector<Col> cols;
  std::vector<std::vector<int>> blocks;  // each block's super-row levels
  std::vector<std::vector<int>> rows;    // each block's row levels (display order)
  // the observation of (block, row level, column), -1 when none
  std::unordered_map<uint64_t, long> obs;
  uint64_t cellkey(size_t b, int r, size_t c) const {
    return (static_cast<uint64_t>(b) * (static_cast<uint64_t>(keys[nby].lv.n()) + 1) + static_cast<uint64_t>(r)) *
               (cols.size() + 1) + c;
  }
  long find(size_t b, int r, size_t c) const {
    auto it = obs.find(cellkey(b, r, c));
    return it == obs.end() ? -1 : it->second;
  }
};

int build(const std::vector<int>& kv, const StSample& s, const TdOpts& o, Table& t) {
  for (int v : kv) {
    t.keys.emplace_back();
    if (int rc = loadkey(v, s, o.totals, t.keys.back())) return rc;
  }
  const size_t nk = t.keys.size(), rk = t.nby;
  const size_t sk = t.hassup ? rk + 1 : 0, ck = t.hascol ? nk - 1 : 0;
  const long n = s.hi >= s.lo ? s.hi - s.lo + 1 : 0;
  // blocks and columns in display order
  std::map<std::vector<int>, int> blockof;
  std::map<std::pair<int, int>, int> colof;
  std::vector<int> bk(t.nby);
  for (long i = 0; i < n; ++i) {
    if (t.keys[0].code[static_cast<size_t>(i)] < 0) continue;
    for (size_t j = 0; j < t.nby; ++j) bk[j] = t.keys[j].rank[static_cast<size_t>(t.keys[j].code[static_cast<size_t>(i)])];
    blockof.emplace(bk, 0);
    if (t.hascol) {
      const int sv = t.hassup ? t.keys[sk].rank[static_cast<size_t>(t.keys[sk].code[static_cast<size_t>(i)])] : -1;
      colof.emplace(std::make_pair(sv, t.keys[ck].rank[static_cast<size_t>(t.keys[ck].code[static_cast<size_t>(i)])]), 0);
    }
  }
  if (blockof.empty()) return st_noobs();
  for (auto& [key, idx] : blockof) {
    idx = static_cast<int>(t.blocks.size());
    t.blocks.push_back(key);
  }
  if (t.hascol) {
    if (colof.size() > static_cast<size_t>(MAXCOLS))
      return errmsgf(RC_TOOMANYVALUES, "too many columns: a table has at most %d\n", MAXCOLS);
    for (auto& [key, idx] : colof) {
      idx = static_cast<int>(t.cols.size());
      t.cols.push_back({key.first, key.second, -1});
    }
  } else {
    for (size_t k = 0; k < o.cells.size(); ++k) t.cols.push_back({-1, -1, static_cast<int>(k)});
  }
  std::vector<std::vector<char>> seen(t.blocks.size(), std::vector<char>(static_cast<size_t>(t.keys[rk].lv.n()), 0));
  for (long i = 0; i < n; ++i) {
    if (t.keys[0].code[static_cast<size_t>(i)] < 0) continue;
    for (size_t j = 0; j < t.nby; ++j) bk[j] = t.keys[j].rank[static_cast<size_t>(t.keys[j].code[static_cast<size_t>(i)])];
    const size_t b = static_cast<size_t>(blockof[bk]);
    const int r = t.keys[rk].rank[static_cast<size_t>(t.keys[rk].code[static_cast<size_t>(i)])];
    seen[b][static_cast<size_t>(r)] = 1;
    size_t c0 = 0, c1 = t.cols.size();
    if (t.hascol) {
      const int sv = t.hassup ? t.keys[sk].rank[static_cast<size_t>(t.keys[sk].code[static_cast<size_t>(i)])] : -1;
      c0 = static_cast<size_t>(colof[{sv, t.keys[ck].rank[static_cast<size_t>(t.keys[ck].code[static_cast<size_t>(i)])]}]);
      c1 = c0 + 1;
    }
    for (size_t c = c0; c < c1; ++c)
      if (!t.obs.emplace(t.cellkey(b, r, c), s.lo + i).second) {
        std::string names;
        for (int v : kv) names += (names.empty() ? "" : " ") + varname(v);
        return errmsgf(RC_BADDATA, "%s do%s not uniquely identify the observations\n", names.c_str(),
                       kv.size() == 1 ? "es" : "");
      }
  }
  t.rows.resize(t.blocks.size());
  for (size_t b = 0; b < t.blocks.size(); ++b)
    for (int r = 0; r < t.keys[rk].lv.n(); ++r)
      if (seen[b][static_cast<size_t>(r)]) t.rows[b].push_back(r);
  return 0;
}

// The level of key k whose display position is r.
int levelat(const Key& k, int r) {
  for (size_t j = 0; j < k.rank.size(); ++j)
    if (k.rank[j] == r) return static_cast<int>(j);
  return -1;
}

// The texts of one row's cells: [cell variable][column].
using RowTexts = std::vector<std::vector<std::string>>;

// *numw (when given) is raised to the widest number among them.
void rowtexts(const Table& t, const TdOpts& o, size_t b, int r, RowTexts& rt, int* numw = nullptr) {
  const size_t nc = t.cols.size();
  const size_t lines = t.hascol ? o.cells.size() : 1;
  rt.assign(lines, std::vector<std::string>(nc));
  bool isnum = false;
  for (size_t c = 0; c < nc; ++c) {
    const long obs = t.find(b, r, c);
    if (obs < 0) continue;
    for (size_t k = 0; k < lines; ++k) {
      std::string& x = rt[k][c];
      x = celltext(o.cells[t.hascol ? k : static_cast<size_t>(t.cols[c].cellvar)], obs, o, &isnum);
      if (isnum && numw) *numw = std::max(*numw, u8width(x));
    }
  }
}

bool allempty(const RowTexts& rt) {
  for (const auto& line : rt)
    for (const std::string& x : line)
      if (!x.empty()) return false;
  return true;
}

// The text over column c: the column level, or the cell variable's name.
std::string colhead(const Table& t, const TdOpts& o, size_t c) {
  const Col& col = t.cols[c];
  if (!t.hascol) return varname(o.cells[static_cast<size_t>(col.cellvar)]);
  const Key& k = t.keys.back();
  return k.text(levelat(k, col.col));
}

std::string blocktext(const Table& t, size_t b) {
  std::string s;
  for (size_t j = 0; j < t.nby; ++j) {
    if (j) s += ", ";
    s += t.keys[j].text(levelat(t.keys[j], t.blocks[b][j]));
  }
  return s;
}

// Prints a rule: the stub's part, the crossing (none for the top and bottom
// lines) and the cells' part.
void rule(int stubw, int bodyw, const char* cross) {
  spoutsmlf("{txt}{hline %d}%s{hline %d}\n", stubw + 1, cross, bodyw);
}

// Prints columns c0..c1-1 of the table.
int panel(const Table& t, const TdOpts& o, int stubw, int cw, size_t c0, size_t c1) {
  const int sep = o.csep;
  const int bodyw = static_cast<int>(c1 - c0) * (cw + sep) + 1;
  const size_t rk = t.nby;
  rule(stubw, bodyw, "{c -}");
  auto stubtext = [&](const std::string& s, bool right) {
    spoutsml("{txt}");
    spoutnosml(fit(s, stubw, right ? AL_RIGHT : AL_LEFT).c_str());
    spoutsml(" {c |}");
  };
  // header lines: the column variables' titles, the super-column groups,
  // then the column texts beside the row variable's title
  std::string bytitle;
  for (size_t j = 0; j < t.nby; ++j) bytitle += (j ? " and " : "") + title(t.keys[j].var);
  bool bydone = bytitle.empty();
  auto headstub = [&]() {
    stubtext(bydone ? std::string() : bytitle, false);
    bydone = true;
  };
  const int span = bodyw - 1;
  if (t.hascol) {
    std::string ct = t.hassup ? title(t.keys[rk + 1].var) + " and " + title(t.keys.back().var) : title(t.keys.back().var);
    headstub();
    spoutnosml(fit(ct, span, AL_CENTER).c_str());
    spoutsml("\n");
  }
  if (t.hassup) {
    headstub();
    const Key& sk = t.keys[rk + 1];
    // each super-column's level centred in a rule over its columns
    for (size_t c = c0; c < c1;) {
      size_t e = c;
      while (e < c1 && t.cols[e].sup == t.cols[c].sup) ++e;
      const int w = static_cast<int>(e - c) * (cw + sep) - sep;
      std::string g(1, ' ');
      g += sk.text(levelat(sk, t.cols[c].sup));
      g += ' ';
      g.resize(u8fit(g, w));
      const int left = (w - u8width(g)) / 2;
      dupblnk(sep);
      if (left > 0) spoutsmlf("{hline %d}", left);
      spoutnosml(g.c_str());
      if (w - left - u8width(g) > 0) spoutsmlf("{hline %d}", w - left - u8width(g));
      c = e;
    }
    spoutsml("\n");
  }
  if (!bydone) {
    headstub();
    spoutsml("\n");
  }
  stubtext(title(t.keys[rk].var), true);
  std::string line;
  for (size_t c = c0; c < c1; ++c) line += std::string(static_cast<size_t>(sep), ' ') + fit(colhead(t, o, c), cw, o.align);
  spoutnosml(line.c_str());
  spoutsml("\n");
  const size_t lines = t.hascol ? o.cells.size() : 1;
  RowTexts rt;
  for (size_t b = 0; b < t.blocks.size(); ++b) {
    rule(stubw, bodyw, "{c +}");
    if (t.nby) {
      stubtext(blocktext(t, b), false);
      spoutsml("\n");
    }
    bool firstrow = true;
    for (int r : t.rows[b]) {
      if (stopflag) return 1;
      rowtexts(t, o, b, r, rt);
      if (o.concise && allempty(rt)) continue;
      if (lines > 1 && !firstrow) {
        stubtext("", true);
        spoutsml("\n");
      }
      firstrow = false;
      const Key& rkey = t.keys[rk];
      for (size_t k = 0; k < lines; ++k) {
        stubtext(k == 0 ? rkey.text(levelat(rkey, r)) : std::string(), true);
        line.clear();
        for (size_t c = c0; c < c1; ++c)
          line += std::string(static_cast<size_t>(sep), ' ') + fit(rt[k][c], cw, o.align);
        spoutsml("{res}");
        spoutnosml(line.c_str());
        spoutsml("\n");
      }
    }
  }
  rule(stubw, bodyw, "{c -}");
  return 0;
}

int show(const Table& t, const TdOpts& o) {
  const size_t rk = t.nby;
  // widths from the texts unless given
  int cw = 1, numw = 0;
  RowTexts rt;
  for (size_t c = 0; c < t.cols.size(); ++c) cw = std::max(cw, u8width(colhead(t, o, c)));
  int stubw = u8width(title(t.keys[rk].var));
  std::string bytitle;
  for (size_t j = 0; j < t.nby; ++j) bytitle += (j ? " and " : "") + title(t.keys[j].var);
  stubw = std::max(stubw, u8width(bytitle));
  for (size_t b = 0; b < t.blocks.size(); ++b) {
    stubw = std::max(stubw, u8width(blocktext(t, b)));
    for (int r : t.rows[b]) {
      if (stopflag) return 1;
      rowtexts(t, o, b, r, rt, &numw);
      if (o.concise && allempty(rt)) continue;
      stubw = std::max(stubw, u8width(t.keys[rk].text(levelat(t.keys[rk], r))));
      for (const auto& l : rt)
        for (const std::string& x : l) cw = std::max(cw, u8width(x));
    }
  }
  // texts may be cut to the cell, numbers never
  cw = std::max(o.cellwidth ? o.cellwidth : std::min(cw, 32), numw);
  stubw = o.stubwidth ? o.stubwidth : std::min(std::max(stubw, 8), 32);
  // columns per panel: what the line holds after the stub
  const int per = std::max(1, (out.linesize - stubw - 3) / (cw + o.csep));
  for (size_t c0 = 0; c0 < t.cols.size(); c0 += static_cast<size_t>(per)) {
    const size_t c1 = std::min(t.cols.size(), c0 + static_cast<size_t>(per));
    if (c0) spoutsml("\n");
    if (int rc = panel(t, o, stubw, cw, c0, c1)) return rc;
  }
  return 0;
}

// A width option (1 to MAXWIDTH); 0 when absent, -1 (printed) when bad.
int widthopt(ParseResult& pr, const char* name, int min, int lo, int* dst) {
  const long w = findopta(pr, name, min, -999);
  if (w == -999) return 0;
  if (w < lo || w > MAXWIDTH) return errmsgf(RC_SYNTAX, "%s() must be between %d and %d\n", name, lo, MAXWIDTH);
  *dst = static_cast<int>(w);
  return 0;
}

// tabdisp rowvar [colvar [supercolvar]] [if] [in], cellvar(varlist) [options]
int cmd_tabdisp(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  const int nv = vl.lnvar();
  if (nv > 3) return error(RC_TOOMANYVARS);
  for (int e = 0; e < nv; ++e)
    if (!st_plainentry(e)) return error(RC_MSG_TSOPS);
  const std::vector<int> rcv(vl.varlist_vr.begin(), vl.varlist_vr.begin() + nv);
  TdOpts o;
  std::string text;
  const bool hascell = findargn(pr, "cellvar", 4, text, 4000, 1000);
  if (hascell)
    if (int rc = st_textvars(text, o.cells)) return rc;
  if (findargn(pr, "by", 2, text, 4000, 1000))
    if (int rc = st_textvars(text, o.by)) return rc;
  std::string fmt;
  if (findargasis(pr, "format", 3, fmt, 64)) {
    fmt = trim(fmt);
    if (chkfmt(fmt.c_str(), FMTK_NUM)) return errmsgf(RC_BADFORMAT, "%s invalid %%format\n", fmt.c_str());
    o.fmt = fmt;
  }
  const bool center = findopt(pr, "center", 3, 0) == 1, left = findopt(pr, "left", 4, 0) == 1;
  o.concise = findopt(pr, "concise", 4, 0) == 1;
  o.missing = findopt(pr, "missing", 1, 0) == 1;
  o.totals = findopt(pr, "totals", 3, 0) == 1;
  if (int rc = widthopt(pr, "cellwidth", 5, 1, &o.cellwidth)) return rc;
  int csep = -1;
  if (int rc = widthopt(pr, "csepwidth", 5, 1, &csep)) return rc;
  if (csep > 0) o.csep = csep;
  if (int rc = widthopt(pr, "stubwidth", 5, 4, &o.stubwidth)) return rc;
  if (int rc = chkopt(pr)) return rc;
  if (!hascell) return errmsgf(RC_SYNTAX, "option cellvar() required\n");
  if (o.cells.empty()) return errmsgf(RC_SYNTAX, "cellvar() needs at least one variable\n");
  if (o.cells.size() > MAXCELLVARS) return errmsgf(RC_TOOMANYVARS, "cellvar(): at most %d variables\n", MAXCELLVARS);
  if (o.by.size() > MAXBYVARS) return errmsgf(RC_TOOMANYVARS, "by(): at most %d variables\n", MAXBYVARS);
  if (center && left) return errmsgf(RC_SYNTAX, "options center and left may not be combined\n");
  o.align = center ? AL_CENTER : left ? AL_LEFT : AL_RIGHT;
  // the key variables: super-rows, row, super-column, column
  std::vector<int> kv = o.by;
  kv.push_back(rcv[0]);
  if (nv == 3) kv.push_back(rcv[2]);
  if (nv >= 2) kv.push_back(rcv[1]);
  std::vector<int> sorted = kv;
  std::sort(sorted.begin(), sorted.end());
  if (auto d = std::adjacent_find(sorted.begin(), sorted.end()); d != sorted.end())
    return errmsgf(RC_SYNTAX, "%s may not appear twice among the row, column and by() variables\n", varname(*d).c_str());
  try {
    StSample s;
    if (int rc = st_sample(s, pr)) return rc;
    Table t;
    t.nby = o.by.size();
    t.hascol = nv >= 2;
    t.hassup = nv == 3;
    if (int rc = build(kv, s, o, t)) return rc;
    if (out.s_outlev > OUT_RESULT) return 0;
    spoutsml("\n");
    return show(t, o);
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
}

}  // namespace

void stats_bindtabdisp() { cmdbind("tabdisp", cmd_tabdisp); }
