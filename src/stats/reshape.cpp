// reshape: converts the dataset between the long layout (one observation per
// id and j value) and the wide layout (one observation per id, a variable
// per stub and j value):
//   reshape long stubs, i(varlist) j(newvar) [string]
//   reshape wide stubs, i(varlist) j(varname) [string]
//   reshape long|wide          (again, with the settings remembered)
//   reshape query | error
// A stub names a family of variables: `inc` stands for inc1, inc2, ...; with
// an `@` the j value goes where the `@` is (`inc@r`: inc1r, inc2r, ...).
// Every check runs and the whole result is built before the dataset is
// touched; the swap restores the old dataset if the new one cannot be made,
// so an error or a Break leaves the data as they were. The settings of the
// last reshape travel with the data as characteristics of _dta, so the bare
// form works after save and use too.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/vlabel.h"
#include "data/arena.h"
#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/results.h"
#include "stats/levels.h"
#include "stats/stats.h"

namespace {

// Offending ids listed under a failed check.
constexpr int MAXLIST = 5;
// Largest value of a numeric j: integers up to it are exact doubles.
constexpr double JMAX = 9007199254740992.0;

// A stub: the variable names pre + j + suf.
struct Stub {
  std::string pre, suf;
  std::string name() const { return pre + suf; }
  std::string shown() const { return suf.empty() ? pre : pre + "@" + suf; }
};

// The j values given after j's name: they restrict the values taken and
// declare values the data may lack.
struct JList {
  bool given = false;
  std::vector<double> nums;         // numeric j: sorted, distinct
  std::vector<std::string> texts;   // string j: sorted, distinct
  bool has(double v) const { return std::binary_search(nums.begin(), nums.end(), v); }
  bool has(const std::string& t) const { return std::binary_search(texts.begin(), texts.end(), t); }
};

// One variable of the result, cells included.
struct OutVar {
  std::string name;
  int type = 0;
  std::string fmt, vlab, varlab;
  std::string charsof;  // variable whose characteristics it keeps ("" none)
  std::vector<unsigned char> cells;  // nobs cells of the type, in order
};

// Whether s is a well-formed variable name (letters, digits, underscores,
// at most 32 characters, not starting with a digit).
bool wellformed(const std::string& s) {
  if (s.empty() || s.size() > 32) return false;
  const auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!alpha(s[0])) return false;
  for (char c : s)
    if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

// stubs -> stub {stub} ; stub -> name with at most one '@'.
int parsestubs(const std::string& text, std::vector<Stub>& stubs) {
  size_t p = 0;
  while (true) {
    p = text.find_first_not_of(' ', p);
    if (p == std::string::npos) break;
    size_t e = text.find(' ', p);
    if (e == std::string::npos) e = text.size();
    const std::string w = text.substr(p, e - p);
    p = e;
    const size_t at = w.find('@');
    Stub s;
    if (at == std::string::npos) {
      s.pre = w;
    } else {
      s.pre = w.substr(0, at), s.suf = w.substr(at + 1);
      if (s.suf.find('@') != std::string::npos) return errmsgf(RC_SYNTAX, "%s: a stub takes one @\n", w.c_str());
    }
    if (s.pre.empty() || !wellformed(s.name())) return errmsgf(RC_SYNTAX, "%s invalid stub\n", w.c_str());
    for (const Stub& o : stubs)
      if (o.name() == s.name()) return errmsgf(RC_SYNTAX, "stub %s given twice\n", s.name().c_str());
    stubs.push_back(s);
  }
  if (stubs.empty()) return required("stub");
  return 0;
}

// The storage type holding values of types a and b (both numeric, or both
// strings); 0 when one is numeric and the other a string.
int promote(int a, int b) {
  if (isstrtype(a) != isstrtype(b)) return 0;
  if (isstrtype(a)) return std::max(a, b);
  if ((a == ST_LONG && b == ST_FLOAT) || (a == ST_FLOAT && b == ST_LONG)) return ST_DOUBLE;
  return std::max(a, b);
}

// A whole number as a name shows it.
std::string wholetext(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.0f", v);
  return b;
}

// The smallest integer type holding 0..mx (double beyond long).
int inttype(double mx) {
  if (mx <= 100) return ST_BYTE;
  if (mx <= 32740) return ST_INT;
  if (mx <= 2147483620) return ST_LONG;
  return ST_DOUBLE;
}

// Writes the missing value (or the empty text) of type t at dst.
void misscell(int t, unsigned char* dst) {
  if (isstrtype(t))
    std::memset(dst, 0, static_cast<size_t>(t));
  else
    cell_put(t, dst, misval);
}

// Copies the cell of variable var at obs into a cell of type t at dst
// (t holds every value of var's type).
void copycell(int t, unsigned char* dst, int var, long obs) {
  const int st = vartype(var);
  const unsigned char* src = dtaptr(var, obs);
  if (st == t) {
    std::memcpy(dst, src, static_cast<size_t>(typewidth(t)));
  } else if (isstrtype(t)) {
    const size_t n = strnlen(reinterpret_cast<const char*>(src), static_cast<size_t>(st));
    std::memcpy(dst, src, n);
    std::memset(dst + n, 0, static_cast<size_t>(t) - n);
  } else {
    cell_put(t, dst, cell_get(st, src));
  }
}

// Whether variable var has the same value at observations a and b.
bool samecell(int var, long a, long b) {
  const int t = vartype(var);
  if (isstrtype(t))
    return std::strncmp(reinterpret_cast<const char*>(dtaptr(var, a)), reinterpret_cast<const char*>(dtaptr(var, b)),
                        static_cast<size_t>(t)) == 0;
  return zelta_data(var, a) == zelta_data(var, b);
}

// The value of var at obs as a message shows it: the number, or the text in
// quotes.
std::string celltext(int var, long obs) {
  if (isstrtype(vartype(var))) {
    std::string s;
    szelta_data(var, obs, s);
    return "\"" + s + "\"";
  }
  std::string t = sreforms("%12.0g", zelta_data(var, obs));
  t.erase(0, t.find_first_not_of(' '));
  return t;
}

// "id = 3" or "id1 = 1, id2 = "a"" for observation obs.
std::string idtext(const std::vector<int>& vars, long obs) {
  std::string s;
  for (int v : vars) {
    if (!s.empty()) s += ", ";
    s += varname(v) + " = " + celltext(v, obs);
  }
  return s;
}

// The names of vars, blank-separated.
std::string namelist(const std::vector<int>& vars) {
  std::string s;
  for (int v : vars) s += (s.empty() ? "" : " ") + varname(v);
  return s;
}

// Prints the listed lines under a failed check (at most MAXLIST and a count
// of the rest) and the pointer to reshape error; returns RC_REJECTED.
int listlines(const std::vector<std::string>& lines, size_t total) {
  for (size_t k = 0; k < lines.size() && k < MAXLIST; ++k) errmsgf(RC_REJECTED, "    %s\n", lines[k].c_str());
  if (total > MAXLIST) errmsgf(RC_REJECTED, "    (and %zu more)\n", total - MAXLIST);
  return errmsgf(RC_REJECTED, "type reshape error to list the observations\n");
}

// The value of var at obs as `list` shows it: the value label's text, the
// number under its format, or the string.
std::string shown(int var, long obs) {
  if (isstrtype(vartype(var))) {
    std::string s;
    szelta_data(var, obs, s);
    return s;
  }
  const double x = zelta_data(var, obs);
  const std::string& ln = ds.lbllist[static_cast<size_t>(var)];
  if (!ln.empty())
    if (const ValueLabel* lab = vlfind(ln))
      if (const std::string* t = vltext(*lab, x)) return *t;
  std::string t = sreforms(ds.fmtlist[static_cast<size_t>(var)].c_str(), x);
  t.erase(0, t.find_first_not_of(' '));
  return t;
}

// What `reshape error` prints for a failed check: the heading, then every
// offending observation (obs, 1-based, in the order given) with the
// variables in show, strings flush left and numbers flush right.
void showrows(const std::string& head, const std::vector<long>& obs, std::vector<int> show) {
  show.erase(std::unique(show.begin(), show.end()), show.end());
  std::vector<std::vector<std::string>> cells(obs.size());
  std::vector<size_t> wid;
  wid.push_back(std::to_string(ds.nobs).size() + 1);
  for (int v : show) wid.push_back(varname(v).size());
  for (size_t r = 0; r < obs.size(); ++r) {
    cells[r].push_back(std::to_string(obs[r]) + ".");
    for (int v : show) cells[r].push_back(shown(v, obs[r]));
    for (size_t c = 0; c < wid.size(); ++c) wid[c] = std::max(wid[c], cells[r][c].size());
  }
  const auto pad = [](const std::string& t, size_t w, bool left) {
    const std::string fill(w > t.size() ? w - t.size() : 0, ' ');
    return left ? t + fill : fill + t;
  };
  spout21f("%s\n\n", head.c_str());
  std::string line = "  " + std::string(wid[0], ' ');
  for (size_t c = 0; c < show.size(); ++c)
    line += "  " + pad(varname(show[c]), wid[c + 1], isstrtype(vartype(show[c])));
  spout21f("%s\n", line.c_str());
  for (size_t r = 0; r < obs.size(); ++r) {
    if ((r & 0xfff) == 0 && stopflag) return;
    line = "  " + pad(cells[r][0], wid[0], false);
    for (size_t c = 0; c < show.size(); ++c) line += "  " + pad(cells[r][c + 1], wid[c + 1], isstrtype(vartype(show[c])));
    spout21f("%s\n", line.c_str());
  }
  spout21f("\n(%zu observation%s)\n", obs.size(), obs.size() == 1 ? "" : "s");
}

// What `reshape error` says when every check passes.
int noproblems() {
  spout21f("(no problems found: the reshape would succeed)\n");
  return 0;
}

// An output variable with the metadata of var.
OutVar likevar(int var) {
  OutVar o;
  const size_t v = static_cast<size_t>(var);
  o.name = varname(var), o.type = vartype(var), o.fmt = ds.fmtlist[v], o.vlab = ds.lbllist[v];
  o.varlab = ds.varlabels[v], o.charsof = o.name;
  return o;
}

// Fills o.cells with rows cells: row r takes var's cell at src[r] (0: missing).
int fillfrom(OutVar& o, int var, const std::vector<long>& src) {
  const size_t w = static_cast<size_t>(typewidth(o.type));
  o.cells.resize(src.size() * w);
  for (size_t r = 0; r < src.size(); ++r) {
    if ((r & 0xffff) == 0 && stopflag) return 1;
    unsigned char* d = o.cells.data() + r * w;
    if (src[r] > 0)
      copycell(o.type, d, var, src[r]);
    else
      misscell(o.type, d);
  }
  return 0;
}

// Replaces the dataset by out (nobs observations, sorted by the first nsort
// variables). The new dataset is made beside the old one, which comes back
// untouched if the new one cannot be made.
int swapdata(std::vector<OutVar>& out, long nobs, int nsort) {
  if (static_cast<long>(out.size()) > ds.maxmaxvar - 1) return error(RC_NOROOMVARS);
  // A record as wide as the variables and one spare byte, with a slot to
  // spare for the maxvar rule.
  long width = 1;
  for (const OutVar& o : out) width += typewidth(o.type);
  width = std::max(width, static_cast<long>(out.size()) + 2);
  width = (width + 1) / 2 * 2;
  if (width > ds.maxlrecl) return error(RC_NOROOMWIDTH);
  if (nobs > obscapacity_at(width) - 1) return error(RC_NOROOMOBS);
  const CharState chsaved = chs;
  DsAside aside;
  if (int rc = ds_aside(aside)) return rc;
  int rc = setwidth(std::max(width, ds.syslrecl));
  if (rc) {
    ds_aside_undo(aside);
    return error(rc);
  }
  for (const OutVar& o : out) {
    if ((rc = addvar_uninit(o.name.c_str(), o.type)) != 0) {
      ds_aside_undo(aside);
      chs = chsaved;
      return rc;
    }
    const size_t v = static_cast<size_t>(ds.nvar);
    ds.fmtlist[v] = o.fmt, ds.lbllist[v] = o.vlab, ds.varlabels[v] = o.varlab;
  }
  if ((rc = setobs_uninit(nobs)) != 0) {
    ds_aside_undo(aside);
    chs = chsaved;
    return rc;
  }
  for (int v = 1; v <= ds.nvar; ++v) {
    OutVar& o = out[static_cast<size_t>(v - 1)];
    if (!o.cells.empty()) std::memcpy(colbase(v), o.cells.data(), o.cells.size());
    std::vector<unsigned char>().swap(o.cells);
  }
  ds_aside_commit(aside);
  // Characteristics: the dataset's, and those of the variables carried over
  // under their own names.
  chs = CharState{};
  for (const auto& [owner, list] : chsaved.owners) {
    bool keep = owner == "_dta";
    for (const OutVar& o : out) keep = keep || (o.charsof == owner && o.name == owner);
    if (keep) chs.owners[owner] = list;
  }
  for (int k = 1; k <= nsort; ++k) ds.srtlist.push_back(k);
  ds.updata = true;
  return 0;
}

// The note after a reshape: the j values and the sizes before and after.
void note(const std::vector<std::string>& jtexts, long nobs0, int nvar0) {
  std::string js;
  for (size_t k = 0; k < jtexts.size(); ++k) {
    if (k == 10 && jtexts.size() > 12) {
      js += " ... " + jtexts.back();
      break;
    }
    js += (k ? " " : "") + jtexts[k];
  }
  const int prev = setoutlev(OUT_NOTE);
  spout21f("(j = %s)\n", js.c_str());
  spout21f("(%ld observation%s and %d variable%s became %ld observation%s and %d variable%s)\n", nobs0,
           plural_s(nobs0), nvar0, plural_s(nvar0), ds.nobs, plural_s(ds.nobs), ds.nvar, plural_s(ds.nvar));
  setoutlev(prev);
}

// The whole dataset as a command's sample.
StSample allobs() {
  StSample s;
  s.lo = 1, s.hi = ds.nobs;
  return s;
}

// One source variable of a stub in the wide layout.
struct Source {
  int var = 0;
  std::string jtext;  // the part of its name that is j
  double jnum = 0;    // j as a number (numeric j)
};

// The variable label of a stub's long variable: the one its sources share
// once the "j " that a wide reshape put in front is taken off.
std::string longlabel(const Stub& st, const std::vector<Source>& src) {
  std::string lab;
  for (size_t k = 0; k < src.size(); ++k) {
    std::string l = ds.varlabels[static_cast<size_t>(src[k].var)];
    const std::string head = src[k].jtext + " ";
    if (l.compare(0, head.size(), head) == 0) l.erase(0, head.size());
    if (k == 0)
      lab = l;
    else if (l != lab)
      return "";
  }
  return lab == st.name() ? "" : lab;
}

// reshape long: wide -> long.
int tolong(const std::vector<Stub>& stubs, const std::vector<int>& ivars, const std::string& jname, bool strj,
           const JList& jlist, bool report) {
  if (!wellformed(jname)) return errmsgf(RC_SYNTAX, "%s invalid variable name\n", jname.c_str());
  if (findvarexact(jname.c_str())) return error2(3, jname.c_str());
  // The sources of each stub.
  std::vector<std::vector<Source>> src(stubs.size());
  std::vector<int> stubof(static_cast<size_t>(ds.nvar) + 1, -1);
  for (int v = 1; v <= ds.nvar; ++v) {
    if (std::find(ivars.begin(), ivars.end(), v) != ivars.end()) continue;
    const std::string& nm = varname(v);
    for (size_t k = 0; k < stubs.size(); ++k) {
      const Stub& st = stubs[k];
      if (nm.size() <= st.pre.size() + st.suf.size() || nm.compare(0, st.pre.size(), st.pre) != 0 ||
          nm.compare(nm.size() - st.suf.size(), st.suf.size(), st.suf) != 0)
        continue;
      const std::string mid = nm.substr(st.pre.size(), nm.size() - st.pre.size() - st.suf.size());
      if (!strj && (mid.find_first_not_of("0123456789") != std::string::npos || mid.size() > 15)) continue;
      // a variable whose j is not among those listed is carried along
      if (jlist.given && (strj ? !jlist.has(mid) : !jlist.has(std::strtod(mid.c_str(), nullptr)))) continue;
      if (stubof[static_cast<size_t>(v)] >= 0)
        return errmsgf(RC_SYNTAX, "variable %s fits stubs %s and %s\n", nm.c_str(),
                       stubs[static_cast<size_t>(stubof[static_cast<size_t>(v)])].shown().c_str(), st.shown().c_str());
      stubof[static_cast<size_t>(v)] = static_cast<int>(k);
      src[k].push_back({v, mid, strj ? 0 : std::strtod(mid.c_str(), nullptr)});
    }
  }
  // The j values: every value any stub has, in order.
  std::map<double, std::string> jn;
  std::map<std::string, int> js;
  for (size_t k = 0; k < stubs.size(); ++k) {
    if (src[k].empty()) return errmsgf(RC_NOTFOUND, "no variables fit stub %s\n", stubs[k].shown().c_str());
    std::map<double, int> seen;
    for (const Source& s : src[k]) {
      if (strj) {
        js.emplace(s.jtext, 0);
        continue;
      }
      auto [it, fresh] = seen.emplace(s.jnum, s.var);
      if (!fresh)
        return errmsgf(RC_SYNTAX, "variables %s and %s both give j = %s\n", varname(it->second).c_str(), varname(s.var).c_str(),
                       wholetext(s.jnum).c_str());
      jn.emplace(s.jnum, wholetext(s.jnum));
    }
  }
  // listed values make observations even where no variable has them
  for (double v : jlist.nums) jn.emplace(v, wholetext(v));
  for (const std::string& t : jlist.texts) js.emplace(t, 0);
  std::vector<std::string> jtexts;
  std::vector<double> jvals;
  for (const auto& [v, t] : jn) jvals.push_back(v), jtexts.push_back(t);
  for (const auto& [t, u] : js) jtexts.push_back(t);
  const size_t nj = jtexts.size();
  // The names of the result must be new and distinct.
  std::vector<std::string> taken{jname};
  for (int v : ivars) taken.push_back(varname(v));
  for (int v = 1; v <= ds.nvar; ++v)
    if (stubof[static_cast<size_t>(v)] < 0 && std::find(ivars.begin(), ivars.end(), v) == ivars.end())
      taken.push_back(varname(v));
  for (const Stub& st : stubs) {
    if (std::find(taken.begin(), taken.end(), st.name()) != taken.end()) return error2(3, st.name().c_str());
    taken.push_back(st.name());
  }
  // i must identify the observations.
  LvCodes code;
  std::vector<long> first;
  int ng = 0;
  if (ds.nobs > 0)
    if (int rc = lv_groups(ivars, allobs(), code, &ng, &first)) return rc;
  if (ng < ds.nobs) {
    std::vector<long> cnt(static_cast<size_t>(ng), 0);
    for (int32_t c : code) ++cnt[static_cast<size_t>(c)];
    if (report) {
      std::vector<long> obs;
      for (long i = 0; i < ds.nobs; ++i)
        if (cnt[static_cast<size_t>(code[static_cast<size_t>(i)])] > 1) obs.push_back(i);
      std::stable_sort(obs.begin(), obs.end(), [&](long a, long b) {
        return code[static_cast<size_t>(a)] < code[static_cast<size_t>(b)];
      });
      for (long& o : obs) ++o;
      showrows(std::string(ivars.size() > 1 ? "variables " : "variable ") + namelist(ivars) +
                   (ivars.size() > 1 ? " do" : " does") + " not uniquely identify these observations:",
               obs, ivars);
      return 0;
    }
    std::vector<std::string> lines;
    size_t total = 0;
    for (int g = 0; g < ng; ++g) {
      if (cnt[static_cast<size_t>(g)] < 2) continue;
      if (++total <= MAXLIST)
        lines.push_back(idtext(ivars, first[static_cast<size_t>(g)] + 1) + " (" +
                        std::to_string(cnt[static_cast<size_t>(g)]) + " observations)");
    }
    errmsgf(RC_REJECTED, "%s %s not uniquely identify the observations\n", ivars.size() > 1 ? "variables" : "variable",
            (namelist(ivars) + (ivars.size() > 1 ? " do" : " does")).c_str());
    return listlines(lines, total);
  }
  if (report) return noproblems();
  const long rows = ds.nobs * static_cast<long>(nj);
  if (static_cast<double>(ds.nobs) * static_cast<double>(nj) > 2147483620.0) return error(RC_NOROOMOBS);
  // Observation of each row's id (ids in order), and the j index of each row.
  std::vector<long> idobs(static_cast<size_t>(rows));
  for (long g = 0; g < ng; ++g)
    for (size_t k = 0; k < nj; ++k) idobs[static_cast<size_t>(g) * nj + k] = first[static_cast<size_t>(g)] + 1;
  // The result's variables: i, j, then the others in the order of the
  // dataset, each stub where its first source was.
  std::vector<OutVar> out;
  for (int v : ivars) {
    out.push_back(likevar(v));
    if (int rc = fillfrom(out.back(), v, idobs)) return rc;
  }
  OutVar jv;
  jv.name = jname;
  if (strj) {
    size_t w = 1;
    for (const std::string& t : jtexts) w = std::max(w, t.size());
    jv.type = static_cast<int>(w);
  } else {
    jv.type = inttype(jvals.back());
  }
  jv.fmt = deffmt_of(jv.type);
  jv.cells.resize(static_cast<size_t>(rows) * static_cast<size_t>(typewidth(jv.type)));
  for (long r = 0; r < rows; ++r) {
    const size_t k = static_cast<size_t>(r) % nj;
    unsigned char* d = jv.cells.data() + static_cast<size_t>(r) * static_cast<size_t>(typewidth(jv.type));
    if (strj) {
      std::memset(d, 0, static_cast<size_t>(jv.type));
      std::memcpy(d, jtexts[k].data(), jtexts[k].size());
    } else {
      cell_put(jv.type, d, jvals[k]);
    }
  }
  out.push_back(std::move(jv));
  std::vector<char> done(stubs.size(), 0);
  for (int v = 1; v <= ds.nvar; ++v) {
    if (std::find(ivars.begin(), ivars.end(), v) != ivars.end()) continue;
    const int k = stubof[static_cast<size_t>(v)];
    if (k < 0) {
      out.push_back(likevar(v));
      if (int rc = fillfrom(out.back(), v, idobs)) return rc;
      continue;
    }
    if (done[static_cast<size_t>(k)]) continue;
    done[static_cast<size_t>(k)] = 1;
    const Stub& st = stubs[static_cast<size_t>(k)];
    std::vector<Source>& ss = src[static_cast<size_t>(k)];
    std::sort(ss.begin(), ss.end(), [&](const Source& a, const Source& b) {
      return strj ? a.jtext < b.jtext : a.jnum < b.jnum;
    });
    OutVar o;
    o.name = st.name();
    o.type = vartype(ss[0].var);
    for (const Source& s : ss) {
      const int t = promote(o.type, vartype(s.var));
      if (!t)
        return errmsgf(RC_TYPEMISMATCH, "stub %s: %s is %s and %s is %s\n", st.shown().c_str(), varname(ss[0].var).c_str(),
                       isstrtype(vartype(ss[0].var)) ? "string" : "numeric", varname(s.var).c_str(),
                       isstrtype(vartype(s.var)) ? "string" : "numeric");
      o.type = t;
    }
    o.fmt = deffmt_of(o.type);
    for (const Source& s : ss)
      if (vartype(s.var) == o.type) {
        o.fmt = ds.fmtlist[static_cast<size_t>(s.var)];
        break;
      }
    o.vlab = ds.lbllist[static_cast<size_t>(ss[0].var)];
    for (const Source& s : ss)
      if (ds.lbllist[static_cast<size_t>(s.var)] != o.vlab) o.vlab.clear();
    o.varlab = longlabel(st, ss);
    // the source of each j value (0: the stub has no variable for it)
    std::vector<int> srcvar(nj, 0);
    for (const Source& s : ss) {
      size_t k2 = 0;
      while (strj ? jtexts[k2] != s.jtext : jvals[k2] != s.jnum) ++k2;
      srcvar[k2] = s.var;
    }
    const size_t w = static_cast<size_t>(typewidth(o.type));
    o.cells.resize(static_cast<size_t>(rows) * w);
    for (long r = 0; r < rows; ++r) {
      if ((r & 0xffff) == 0 && stopflag) return 1;
      const int sv = srcvar[static_cast<size_t>(r) % nj];
      unsigned char* d = o.cells.data() + static_cast<size_t>(r) * w;
      if (sv)
        copycell(o.type, d, sv, idobs[static_cast<size_t>(r)]);
      else
        misscell(o.type, d);
    }
    out.push_back(std::move(o));
  }
  if (stopflag) return 1;
  const long nobs0 = ds.nobs;
  const int nvar0 = ds.nvar;
  if (int rc = swapdata(out, rows, static_cast<int>(ivars.size()) + 1)) return rc;
  note(jtexts, nobs0, nvar0);
  return 0;
}

// reshape wide: long -> wide.
int towide(const std::vector<Stub>& stubs, const std::vector<int>& ivars, int jvar, bool strj, const JList& jlist,
           bool report) {
  const std::string ilist = namelist(ivars);
  if (std::find(ivars.begin(), ivars.end(), jvar) != ivars.end())
    return errmsgf(RC_SYNTAX, "variable %s is both i and j\n", varname(jvar).c_str());
  if (isstrtype(vartype(jvar)) && !strj)
    return errmsgf(RC_TYPEMISMATCH, "variable %s is a string variable; give the string option for a string j\n", varname(jvar).c_str());
  if (!isstrtype(vartype(jvar)) && strj)
    return errmsgf(RC_TYPEMISMATCH, "variable %s is numeric; the string option is for a string j\n", varname(jvar).c_str());
  std::vector<int> stubvar;
  for (const Stub& st : stubs) {
    const int v = findvarexact(st.name().c_str());
    if (!v) return varnotfound(st.name().c_str());
    if (v == jvar || std::find(ivars.begin(), ivars.end(), v) != ivars.end())
      return errmsgf(RC_SYNTAX, "variable %s cannot be both a stub and i or j\n", st.name().c_str());
    stubvar.push_back(v);
  }
  // Codes of i and j; j may not be missing.
  LvCodes gi, gj;
  std::vector<long> first;
  int ng = 0;
  Levels jl;
  if (ds.nobs > 0) {
    if (int rc = lv_groups(ivars, allobs(), gi, &ng, &first)) return rc;
    if (int rc = lv_code(jvar, -1, allobs(), false, jl, &gj)) return rc;
  }
  std::vector<int> ijvars = ivars;
  ijvars.push_back(jvar);
  // Observations failing a check on j alone: bad[i] set. Lists them and
  // returns RC_REJECTED (0 under report) when there are any.
  const auto jcheck = [&](const std::vector<char>& bad, const std::string& what, bool showj) {
    size_t n = 0;
    std::vector<std::string> lines;
    std::vector<long> obs;
    for (long i = 0; i < ds.nobs; ++i) {
      if (!bad[static_cast<size_t>(i)]) continue;
      obs.push_back(i + 1);
      if (++n <= MAXLIST)
        lines.push_back("observation " + std::to_string(i + 1) + ": " + idtext(ivars, i + 1) +
                        (!showj ? "" : ", " + varname(jvar) + " = " + celltext(jvar, i + 1)));
    }
    if (!n) return -1;
    const std::string head = "variable " + varname(jvar) + " " + what;
    if (report) {
      showrows(head + ":", obs, ijvars);
      return 0;
    }
    errmsgf(RC_REJECTED, "%s\n", head.c_str());
    return listlines(lines, n);
  };
  std::vector<char> bad(static_cast<size_t>(ds.nobs));
  for (long i = 0; i < ds.nobs; ++i) bad[static_cast<size_t>(i)] = gj[static_cast<size_t>(i)] < 0;
  if (int rc = jcheck(bad, "has missing values", false); rc >= 0) return rc;
  // The slot of each level of j: its place among the listed values (-1 when
  // not listed), or the level itself.
  std::vector<int> jslot(static_cast<size_t>(jl.n()));
  for (int k = 0; k < jl.n(); ++k) {
    const size_t u = static_cast<size_t>(k);
    if (!jlist.given) {
      jslot[u] = k;
    } else if (strj) {
      const auto it = std::lower_bound(jlist.texts.begin(), jlist.texts.end(), jl.svals[u]);
      jslot[u] = it != jlist.texts.end() && *it == jl.svals[u] ? static_cast<int>(it - jlist.texts.begin()) : -1;
    } else {
      const auto it = std::lower_bound(jlist.nums.begin(), jlist.nums.end(), jl.vals[u]);
      jslot[u] = it != jlist.nums.end() && *it == jl.vals[u] ? static_cast<int>(it - jlist.nums.begin()) : -1;
    }
  }
  if (jlist.given) {
    for (long i = 0; i < ds.nobs; ++i)
      bad[static_cast<size_t>(i)] = jslot[static_cast<size_t>(gj[static_cast<size_t>(i)])] < 0;
    if (int rc = jcheck(bad, "takes values not listed in j()", true); rc >= 0) return rc;
  }
  for (long i = 0; i < ds.nobs; ++i) gj[static_cast<size_t>(i)] = jslot[static_cast<size_t>(gj[static_cast<size_t>(i)])];
  std::vector<char>().swap(bad);
  std::vector<std::string> lines;
  const size_t nj = jlist.given ? (strj ? jlist.texts.size() : jlist.nums.size()) : static_cast<size_t>(jl.n());
  std::vector<std::string> jtexts;
  for (size_t k = 0; k < nj; ++k) {
    if (strj) {
      jtexts.push_back(jlist.given ? jlist.texts[k] : jl.svals[k]);
      continue;
    }
    const double v = jlist.given ? jlist.nums[k] : jl.vals[k];
    if (v < 0 || v > JMAX || v != static_cast<double>(static_cast<long long>(v)))
    {
      std::string t = sreforms("%12.0g", v);
      t.erase(0, t.find_first_not_of(' '));
      return errmsgf(RC_SYNTAX, "variable %s has value %s: j values must be whole numbers, 0 or more, to make variable names\n",
                     varname(jvar).c_str(), t.c_str());
    }
    jtexts.push_back(wholetext(v));
  }
  // The new names: valid, distinct, and not those of the variables kept.
  std::vector<int> keep;  // the variables carried along, constant within i
  for (int v = 1; v <= ds.nvar; ++v)
    if (v != jvar && std::find(ivars.begin(), ivars.end(), v) == ivars.end() &&
        std::find(stubvar.begin(), stubvar.end(), v) == stubvar.end())
      keep.push_back(v);
  std::vector<std::string> taken;
  for (int v : ivars) taken.push_back(varname(v));
  for (int v : keep) taken.push_back(varname(v));
  std::vector<std::vector<std::string>> newname(stubs.size());
  for (size_t s = 0; s < stubs.size(); ++s)
    for (size_t k = 0; k < nj; ++k) {
      const std::string nm = stubs[s].pre + jtexts[k] + stubs[s].suf;
      if (!wellformed(nm))
        return errmsgf(RC_SYNTAX, "stub %s and j = %s make %s, an invalid variable name\n", stubs[s].shown().c_str(),
                       jtexts[k].c_str(), nm.c_str());
      if (std::find(taken.begin(), taken.end(), nm) != taken.end()) return error2(3, nm.c_str());
      taken.push_back(nm);
      newname[s].push_back(nm);
    }
  if (static_cast<double>(ivars.size() + keep.size()) + static_cast<double>(stubs.size() * nj) > ds.maxmaxvar - 1)
    return error(RC_NOROOMVARS);
  // i and j must identify the observations.
  std::vector<long> slot(static_cast<size_t>(ng) * nj, 0);
  std::vector<std::pair<int32_t, int32_t>> dups;
  for (long i = 0; i < ds.nobs; ++i) {
    if ((i & 0xffff) == 0 && stopflag) return 1;
    const size_t c = static_cast<size_t>(gi[static_cast<size_t>(i)]) * nj + static_cast<size_t>(gj[static_cast<size_t>(i)]);
    if (slot[c])
      dups.emplace_back(gi[static_cast<size_t>(i)], gj[static_cast<size_t>(i)]);
    else
      slot[c] = i + 1;
  }
  if (!dups.empty()) {
    std::sort(dups.begin(), dups.end());
    dups.erase(std::unique(dups.begin(), dups.end()), dups.end());
    const std::string head = "values of variable " + varname(jvar) + " not unique within " + ilist;
    if (report) {
      std::vector<char> twice(slot.size(), 0);
      for (const auto& [g, j] : dups) twice[static_cast<size_t>(g) * nj + static_cast<size_t>(j)] = 1;
      std::vector<long> obs;
      const auto cell = [&](long i) {
        return static_cast<size_t>(gi[static_cast<size_t>(i)]) * nj + static_cast<size_t>(gj[static_cast<size_t>(i)]);
      };
      for (long i = 0; i < ds.nobs; ++i)
        if (twice[cell(i)]) obs.push_back(i);
      std::stable_sort(obs.begin(), obs.end(), [&](long a, long b) { return cell(a) < cell(b); });
      for (long& o : obs) ++o;
      showrows(head + ":", obs, ijvars);
      return 0;
    }
    lines.clear();
    for (size_t k = 0; k < dups.size() && k < MAXLIST; ++k) {
      const long o = slot[static_cast<size_t>(dups[k].first) * nj + static_cast<size_t>(dups[k].second)];
      lines.push_back(idtext(ivars, o) + ", " + varname(jvar) + " = " + celltext(jvar, o));
    }
    errmsgf(RC_REJECTED, "%s\n", head.c_str());
    return listlines(lines, dups.size());
  }
  // The variables carried along must be constant within i.
  std::vector<int> varying;
  std::vector<int32_t> badg;
  for (int v : keep) {
    bool varies = false;
    for (long i = 0; i < ds.nobs; ++i) {
      if ((i & 0xffff) == 0 && stopflag) return 1;
      const int32_t g = gi[static_cast<size_t>(i)];
      if (samecell(v, i + 1, first[static_cast<size_t>(g)] + 1)) continue;
      varies = true;
      // the message names the ids of the first such variable; the full
      // report those of all
      if (!varying.empty() && !report) break;
      badg.push_back(g);
    }
    if (varies) varying.push_back(v);
  }
  if (!varying.empty()) {
    std::sort(badg.begin(), badg.end());
    badg.erase(std::unique(badg.begin(), badg.end()), badg.end());
    if (report) {
      std::vector<long> obs;
      for (long i = 0; i < ds.nobs; ++i)
        if (std::binary_search(badg.begin(), badg.end(), gi[static_cast<size_t>(i)])) obs.push_back(i);
      std::stable_sort(obs.begin(), obs.end(), [&](long a, long b) {
        return gi[static_cast<size_t>(a)] < gi[static_cast<size_t>(b)];
      });
      for (long& o : obs) ++o;
      std::vector<int> show = ijvars;
      show.insert(show.end(), varying.begin(), varying.end());
      showrows(std::string(varying.size() > 1 ? "variables " : "variable ") + namelist(varying) +
                   (varying.size() > 1 ? " are" : " is") + " not constant within " + ilist + ":",
               obs, show);
      return 0;
    }
    lines.clear();
    for (size_t k = 0; k < badg.size() && k < MAXLIST; ++k)
      lines.push_back(idtext(ivars, first[static_cast<size_t>(badg[k])] + 1));
    errmsgf(RC_REJECTED, "%s %s not constant within %s\n", varying.size() > 1 ? "variables" : "variable",
            namelist(varying).c_str(), ilist.c_str());
    if (varying.size() > 1) errmsgf(RC_REJECTED, "(%s varies within these)\n", varname(varying[0]).c_str());
    return listlines(lines, badg.size());
  }
  if (report) return noproblems();
  // The result: i, then the others in the order of the dataset, each stub
  // spread over its j values where it was.
  std::vector<long> firstobs(static_cast<size_t>(ng));
  for (int g = 0; g < ng; ++g) firstobs[static_cast<size_t>(g)] = first[static_cast<size_t>(g)] + 1;
  std::vector<OutVar> out;
  for (int v : ivars) {
    out.push_back(likevar(v));
    if (int rc = fillfrom(out.back(), v, firstobs)) return rc;
  }
  std::vector<long> src(static_cast<size_t>(ng));
  for (int v = 1; v <= ds.nvar; ++v) {
    if (v == jvar || std::find(ivars.begin(), ivars.end(), v) != ivars.end()) continue;
    const auto it = std::find(stubvar.begin(), stubvar.end(), v);
    if (it == stubvar.end()) {
      out.push_back(likevar(v));
      if (int rc = fillfrom(out.back(), v, firstobs)) return rc;
      continue;
    }
    const size_t s = static_cast<size_t>(it - stubvar.begin());
    const std::string& lab = ds.varlabels[static_cast<size_t>(v)];
    for (size_t k = 0; k < nj; ++k) {
      OutVar o = likevar(v);
      o.name = newname[s][k];
      o.charsof.clear();
      o.varlab = (jtexts[k] + " " + (lab.empty() ? varname(v) : lab)).substr(0, 80);
      for (int g = 0; g < ng; ++g) src[static_cast<size_t>(g)] = slot[static_cast<size_t>(g) * nj + k];
      if (int rc = fillfrom(o, v, src)) return rc;
      out.push_back(std::move(o));
    }
  }
  if (stopflag) return 1;
  const long nobs0 = ds.nobs;
  const int nvar0 = ds.nvar;
  if (int rc = swapdata(out, ng, static_cast<int>(ivars.size()))) return rc;
  note(jtexts, nobs0, nvar0);
  return 0;
}

// Names of the characteristics of _dta holding the last reshape's settings.
constexpr const char* CH_LAYOUT = "reshape_layout";
constexpr const char* CH_STUBS = "reshape_stubs";
constexpr const char* CH_I = "reshape_i";
constexpr const char* CH_J = "reshape_j";
constexpr const char* CH_STRING = "reshape_string";

// One reshape's settings as typed: the layout made, the stubs, i(), j()
// (the name and any listed values) and the string option.
struct Settings {
  std::string how, stubs, i, j;
  bool strj = false;
  // The command line that makes this reshape.
  std::string line() const { return how + " " + stubs + ", i(" + i + ") j(" + j + ")" + (strj ? " string" : ""); }
};

// Text with its runs of blanks made one and the ends trimmed.
std::string squeeze(const std::string& t) {
  std::string r;
  for (char c : t) {
    if (c == ' ' || c == '\t') {
      if (!r.empty() && r.back() != ' ') r.push_back(' ');
    } else {
      r.push_back(c);
    }
  }
  if (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

// The settings remembered with the data; false when there are none.
bool remembered(Settings& st) {
  const std::string *how = charget("_dta", CH_LAYOUT), *stubs = charget("_dta", CH_STUBS);
  const std::string *i = charget("_dta", CH_I), *j = charget("_dta", CH_J);
  if (!how || !stubs || !i || !j) return false;
  st.how = *how, st.stubs = *stubs, st.i = *i, st.j = *j;
  st.strj = charget("_dta", CH_STRING) != nullptr;
  return true;
}

// Splits j()'s text into the name and the listed values (a numlist of
// whole numbers from 0 up, or words with string); 0 or a code.
int parsejlist(const std::string& text, bool strj, std::string& name, JList& jl) {
  const std::string t = squeeze(text);
  const size_t sp = t.find(' ');
  name = t.substr(0, sp);
  if (name.empty()) return errmsgf(RC_SYNTAX, "j() takes a variable name\n");
  if (sp == std::string::npos) return 0;
  jl.given = true;
  const std::string rest = t.substr(sp + 1);
  if (strj) {
    size_t p = 0;
    while (p < rest.size()) {
      size_t e = rest.find(' ', p);
      if (e == std::string::npos) e = rest.size();
      jl.texts.push_back(rest.substr(p, e - p));
      p = e + 1;
    }
    std::sort(jl.texts.begin(), jl.texts.end());
    for (size_t k = 1; k < jl.texts.size(); ++k)
      if (jl.texts[k] == jl.texts[k - 1]) return errmsgf(RC_SYNTAX, "j value %s listed twice\n", jl.texts[k].c_str());
    return 0;
  }
  // a name where a number should be is most likely a second variable
  if (std::isalpha(static_cast<unsigned char>(rest[0])) || rest[0] == '_') {
    const std::string w = rest.substr(0, rest.find(' '));
    return errmsgf(RC_SYNTAX, "j(%s): %s is not a number; j() takes one variable and its values\n", t.c_str(),
                   w.c_str());
  }
  NumlistSpec rule;
  rule.flags = NL_INTEGER;
  rule.lo = 0, rule.hi = JMAX;
  if (int rc = numlist_expand(rest.c_str(), rule, jl.nums, false)) return rc;
  std::sort(jl.nums.begin(), jl.nums.end());
  for (size_t k = 1; k < jl.nums.size(); ++k)
    if (jl.nums[k] == jl.nums[k - 1]) return errmsgf(RC_SYNTAX, "j value %s listed twice\n", wholetext(jl.nums[k]).c_str());
  return 0;
}

// Runs the reshape that st describes (only its checks under report); 0 or
// a code.
int runsettings(const Settings& st, bool report) {
  std::vector<Stub> stubs;
  if (int rc = parsestubs(st.stubs, stubs)) return rc;
  if (ds.nvar == 0) return error(RC_NOTFOUND);
  std::vector<int> ivars;
  if (int rc = st_textvars(st.i, ivars)) return rc;
  for (size_t k = 0; k < ivars.size(); ++k)
    if (std::find(ivars.begin(), ivars.begin() + static_cast<long>(k), ivars[k]) != ivars.begin() + static_cast<long>(k))
      return errmsgf(RC_SYNTAX, "variable %s given twice in i()\n", varname(ivars[k]).c_str());
  std::string jname;
  JList jl;
  if (int rc = parsejlist(st.j, st.strj, jname, jl)) return rc;
  if (st.how == "long") return tolong(stubs, ivars, jname, st.strj, jl, report);
  std::vector<int> jv;
  if (int rc = st_textvars(jname, jv)) return rc;
  if (jv.size() != 1) return errmsgf(RC_TOOMANYVARS, "j() takes one variable\n");
  return towide(stubs, ivars, jv[0], st.strj, jl, report);
}

// reshape query: the remembered settings, shown and left in r(layout),
// r(stubs), r(i), r(j) and r(string); the last failed reshape, if any, in
// r(failed).
int query() {
  retval_clear();
  Settings st;
  const bool have = remembered(st);
  if (!have) {
    spout21f("(no reshape remembered with these data)\n");
  } else {
    spout21f("  layout of the last reshape:  %s\n", st.how.c_str());
    spout21f("  stubs:                       %s\n", st.stubs.c_str());
    spout21f("  i():                         %s\n", st.i.c_str());
    spout21f("  j():                         %s%s\n", st.j.c_str(), st.strj ? "  (string)" : "");
    spout21f("  to go back, type:            reshape %s\n", st.how == "long" ? "wide" : "long");
  }
  if (!sts.reshape_failed.empty()) {
    spout21f("  last failed its checks:      %s\n", sts.reshape_failed.c_str());
    spout21f("  (reshape error lists the problem observations)\n");
  }
  const std::pair<const char*, std::string> items[] = {{"layout", st.how}, {"stubs", st.stubs},
                                                      {"i", st.i},         {"j", st.j},
                                                      {"string", st.strj ? "string" : ""},
                                                      {"failed", sts.reshape_failed}};
  for (const auto& [name, text] : items)
    if (int rc = retval_set_local(name, text)) return rc;
  return 0;
}

// Reads the full form's text after the layout word (stubs, i(), j(),
// string) into st; 0 or a code.
int parseline(const std::string& text, Settings& st) {
  const size_t comma = text.find(',');
  st.stubs = squeeze(text.substr(0, comma));
  const std::string rest = comma == std::string::npos ? std::string() : text.substr(comma);
  ParseResult pr;
  settok(rest.c_str());
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  const bool hasi = findargn(pr, "i", 1, st.i, 4000, 1000);
  const bool hasj = findargn(pr, "j", 1, st.j, 4000, 1000);
  st.strj = findopt(pr, "string", 3, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  std::vector<Stub> stubs;
  if (int rc = parsestubs(st.stubs, stubs)) return rc;
  if (!hasi) return required("i()");
  if (!hasj) return required("j()");
  st.i = squeeze(st.i), st.j = squeeze(st.j);
  return 0;
}

// Runs st, catching refused memory; 0 or a code.
int guarded(const Settings& st, bool report) {
  try {
    return runsettings(st, report);
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
}

// reshape error: the checks of the last reshape that failed on the data,
// listing every offending observation.
int report() {
  if (sts.reshape_failed.empty()) {
    spout21f("(no failed reshape to report on)\n");
    return 0;
  }
  Settings st;
  const std::string& line = sts.reshape_failed;
  const size_t sp = line.find(' ');
  st.how = line.substr(0, sp);
  if (int rc = parseline(line.substr(sp + 1), st)) return rc;
  spout21f("(checking reshape %s)\n\n", line.c_str());
  return guarded(st, true);
}

// reshape long|wide [stubs, i(varlist) j(name [values]) string]
// reshape query | error
int cmd_reshape(int) {
  const std::string line = wheretok();
  size_t p = line.find_first_not_of(' ');
  if (p == std::string::npos) return required("long or wide");
  size_t e = line.find_first_of(" ,", p);
  if (e == std::string::npos) e = line.size();
  const std::string how = line.substr(p, e - p);
  const bool bare = line.find_first_not_of(' ', e) == std::string::npos;
  if (how == "query" || how == "error") {
    if (!bare) return errmsgf(RC_SYNTAX, "reshape %s takes no arguments\n", how.c_str());
    return how == "query" ? query() : report();
  }
  if (how != "long" && how != "wide")
    return errmsgf(RC_SYNTAX, "reshape %s: long, wide, query or error expected\n", how.c_str());
  Settings st;
  if (bare) {
    if (!remembered(st))
      return errmsgf(RC_SYNTAX, "no reshape remembered with these data: type reshape %s stubs, i() j()\n", how.c_str());
    if (st.how == how) {
      spout21f("(data already %s)\n", how.c_str());
      return 0;
    }
  } else if (int rc = parseline(line.substr(e), st)) {
    return rc;
  }
  st.how = how;
  const int rc = guarded(st, false);
  // a failed check is remembered for reshape error; a success replaces the
  // settings kept with the data
  if (rc == RC_REJECTED) sts.reshape_failed = st.line();
  if (rc) return rc;
  sts.reshape_failed.clear();
  charset("_dta", CH_LAYOUT, st.how);
  charset("_dta", CH_STUBS, st.stubs);
  charset("_dta", CH_I, st.i);
  charset("_dta", CH_J, st.j);
  charset("_dta", CH_STRING, st.strj ? "1" : "");
  return 0;
}

}  // namespace

void stats_bindreshape() { cmdbind("reshape", cmd_reshape); }
