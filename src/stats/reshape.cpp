// reshape: converts the dataset between the long layout (one observation per
// id and j value) and the wide layout (one observation per id, a variable
// per stub and j value):
//   reshape long stubs, i(varlist) j(newvar) [string]
//   reshape wide stubs, i(varlist) j(varname) [string]
// A stub names a family of variables: `inc` stands for inc1, inc2, ...; with
// an `@` the j value goes where the `@` is (`inc@r`: inc1r, inc2r, ...).
// Every check runs and the whole result is built before the dataset is
// touched; the swap restores the old dataset if the new one cannot be made,
// so an error or a Break leaves the data as they were.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/levels.h"
#include "stats/stats.h"

namespace {

// Return code of the checks on the data: i and j do not identify the
// observations, a variable varies within i, j has missing values.
constexpr int RC_RESHAPE = 9;
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
      if (s.suf.find('@') != std::string::npos) return errmsgf(198, "%s: a stub takes one @\n", w.c_str());
    }
    if (s.pre.empty() || !wellformed(s.name())) return errmsgf(198, "%s invalid stub\n", w.c_str());
    for (const Stub& o : stubs)
      if (o.name() == s.name()) return errmsgf(198, "stub %s given twice\n", s.name().c_str());
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
// of the rest) and returns RC_RESHAPE.
int listlines(const std::vector<std::string>& lines, size_t total) {
  for (size_t k = 0; k < lines.size() && k < MAXLIST; ++k) errmsgf(RC_RESHAPE, "    %s\n", lines[k].c_str());
  if (total > MAXLIST) errmsgf(RC_RESHAPE, "    (and %zu more)\n", total - MAXLIST);
  return RC_RESHAPE;
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
  if (static_cast<long>(out.size()) > ds.maxmaxvar - 1) return error(900);
  // A record as wide as the variables and one spare byte, with a slot to
  // spare for the maxvar rule.
  long width = 1;
  for (const OutVar& o : out) width += typewidth(o.type);
  width = std::max(width, static_cast<long>(out.size()) + 2);
  width = (width + 1) / 2 * 2;
  if (width > ds.maxlrecl) return error(902);
  if (nobs > maxobs_for(width, ds.memorysize) - 1) return error(901);
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
int tolong(const std::vector<Stub>& stubs, const std::vector<int>& ivars, const std::string& jname, bool strj) {
  if (!wellformed(jname)) return errmsgf(198, "%s invalid variable name\n", jname.c_str());
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
      if (stubof[static_cast<size_t>(v)] >= 0)
        return errmsgf(198, "variable %s fits stubs %s and %s\n", nm.c_str(),
                       stubs[static_cast<size_t>(stubof[static_cast<size_t>(v)])].shown().c_str(), st.shown().c_str());
      stubof[static_cast<size_t>(v)] = static_cast<int>(k);
      src[k].push_back({v, mid, strj ? 0 : std::strtod(mid.c_str(), nullptr)});
    }
  }
  // The j values: every value any stub has, in order.
  std::map<double, std::string> jn;
  std::map<std::string, int> js;
  for (size_t k = 0; k < stubs.size(); ++k) {
    if (src[k].empty()) return errmsgf(111, "no variables fit stub %s\n", stubs[k].shown().c_str());
    std::map<double, int> seen;
    for (const Source& s : src[k]) {
      if (strj) {
        js.emplace(s.jtext, 0);
        continue;
      }
      auto [it, fresh] = seen.emplace(s.jnum, s.var);
      if (!fresh)
        return errmsgf(198, "variables %s and %s both give j = %s\n", varname(it->second).c_str(), varname(s.var).c_str(),
                       wholetext(s.jnum).c_str());
      jn.emplace(s.jnum, wholetext(s.jnum));
    }
  }
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
    std::vector<std::string> lines;
    size_t total = 0;
    for (int g = 0; g < ng; ++g) {
      if (cnt[static_cast<size_t>(g)] < 2) continue;
      if (++total <= MAXLIST)
        lines.push_back(idtext(ivars, first[static_cast<size_t>(g)] + 1) + " (" +
                        std::to_string(cnt[static_cast<size_t>(g)]) + " observations)");
    }
    errmsgf(RC_RESHAPE, "%s %s not uniquely identify the observations\n", ivars.size() > 1 ? "variables" : "variable",
            (namelist(ivars) + (ivars.size() > 1 ? " do" : " does")).c_str());
    return listlines(lines, total);
  }
  const long rows = ds.nobs * static_cast<long>(nj);
  if (static_cast<double>(ds.nobs) * static_cast<double>(nj) > 2147483620.0) return error(901);
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
        return errmsgf(109, "stub %s: %s is %s and %s is %s\n", st.shown().c_str(), varname(ss[0].var).c_str(),
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
int towide(const std::vector<Stub>& stubs, const std::vector<int>& ivars, int jvar, bool strj) {
  const std::string ilist = namelist(ivars);
  if (std::find(ivars.begin(), ivars.end(), jvar) != ivars.end())
    return errmsgf(198, "variable %s is both i and j\n", varname(jvar).c_str());
  if (isstrtype(vartype(jvar)) && !strj)
    return errmsgf(109, "variable %s is a string variable; give the string option for a string j\n", varname(jvar).c_str());
  if (!isstrtype(vartype(jvar)) && strj)
    return errmsgf(109, "variable %s is numeric; the string option is for a string j\n", varname(jvar).c_str());
  std::vector<int> stubvar;
  for (const Stub& st : stubs) {
    const int v = findvarexact(st.name().c_str());
    if (!v) return varnotfound(st.name().c_str());
    if (v == jvar || std::find(ivars.begin(), ivars.end(), v) != ivars.end())
      return errmsgf(198, "variable %s cannot be both a stub and i or j\n", st.name().c_str());
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
  size_t nmiss = 0;
  std::vector<std::string> lines;
  for (long i = 0; i < ds.nobs; ++i)
    if (gj[static_cast<size_t>(i)] < 0 && ++nmiss <= MAXLIST)
      lines.push_back("observation " + std::to_string(i + 1) + ": " + idtext(ivars, i + 1));
  if (nmiss) {
    errmsgf(RC_RESHAPE, "variable %s has missing values\n", varname(jvar).c_str());
    return listlines(lines, nmiss);
  }
  const size_t nj = static_cast<size_t>(jl.n());
  std::vector<std::string> jtexts;
  for (size_t k = 0; k < nj; ++k) {
    if (strj) {
      jtexts.push_back(jl.svals[k]);
      continue;
    }
    const double v = jl.vals[k];
    if (v < 0 || v > JMAX || v != static_cast<double>(static_cast<long long>(v)))
    {
      std::string t = sreforms("%12.0g", v);
      t.erase(0, t.find_first_not_of(' '));
      return errmsgf(198, "variable %s has value %s: j values must be whole numbers, 0 or more, to make variable names\n",
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
        return errmsgf(198, "stub %s and j = %s make %s, an invalid variable name\n", stubs[s].shown().c_str(),
                       jtexts[k].c_str(), nm.c_str());
      if (std::find(taken.begin(), taken.end(), nm) != taken.end()) return error2(3, nm.c_str());
      taken.push_back(nm);
      newname[s].push_back(nm);
    }
  if (static_cast<double>(ivars.size() + keep.size()) + static_cast<double>(stubs.size() * nj) > ds.maxmaxvar - 1)
    return error(900);
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
    lines.clear();
    for (size_t k = 0; k < dups.size() && k < MAXLIST; ++k) {
      const long o = slot[static_cast<size_t>(dups[k].first) * nj + static_cast<size_t>(dups[k].second)];
      lines.push_back(idtext(ivars, o) + ", " + varname(jvar) + " = " + celltext(jvar, o));
    }
    errmsgf(RC_RESHAPE, "values of variable %s not unique within %s\n", varname(jvar).c_str(), ilist.c_str());
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
      if (!varying.empty()) break;
      badg.push_back(g);
    }
    if (varies) varying.push_back(v);
  }
  if (!varying.empty()) {
    std::sort(badg.begin(), badg.end());
    badg.erase(std::unique(badg.begin(), badg.end()), badg.end());
    lines.clear();
    for (size_t k = 0; k < badg.size() && k < MAXLIST; ++k)
      lines.push_back(idtext(ivars, first[static_cast<size_t>(badg[k])] + 1));
    errmsgf(RC_RESHAPE, "%s %s not constant within %s\n", varying.size() > 1 ? "variables" : "variable",
            namelist(varying).c_str(), ilist.c_str());
    if (varying.size() > 1) errmsgf(RC_RESHAPE, "(%s varies within these)\n", varname(varying[0]).c_str());
    return listlines(lines, badg.size());
  }
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

// reshape long|wide stubs, i(varlist) j(name) [string]
int cmd_reshape(int) {
  const std::string line = wheretok();
  size_t p = line.find_first_not_of(' ');
  if (p == std::string::npos) return required("long or wide");
  size_t e = line.find_first_of(" ,", p);
  if (e == std::string::npos) e = line.size();
  const std::string how = line.substr(p, e - p);
  if (how != "long" && how != "wide") return errmsgf(198, "reshape %s: long or wide expected\n", how.c_str());
  const size_t comma = line.find(',', e);
  const std::string stubtext = line.substr(e, comma == std::string::npos ? std::string::npos : comma - e);
  const std::string rest = comma == std::string::npos ? std::string() : line.substr(comma);
  ps.vable = 3;
  ps.ifable = 3;
  ps.oable = 3;
  ps.opable = 0;
  settok(rest.c_str());
  if (int rc = parse()) return rc;
  std::string itext, jtext;
  const bool hasi = findargn("i", 1, itext, 4000, 1000);
  const bool hasj = findargn("j", 1, jtext, 4000, 1000);
  const bool strj = findopt("string", 3, 0) == 1;
  if (int rc = chkopt()) return rc;
  std::vector<Stub> stubs;
  if (int rc = parsestubs(stubtext, stubs)) return rc;
  if (!hasi) return required("i()");
  if (!hasj) return required("j()");
  if (ds.nvar == 0) return error(111);
  std::vector<int> ivars;
  if (int rc = st_textvars(itext, ivars)) return rc;
  for (size_t k = 0; k < ivars.size(); ++k)
    if (std::find(ivars.begin(), ivars.begin() + static_cast<long>(k), ivars[k]) != ivars.begin() + static_cast<long>(k))
      return errmsgf(198, "variable %s given twice in i()\n", varname(ivars[k]).c_str());
  try {
    if (how == "long") {
      if (jtext.empty() || jtext.find(' ') != std::string::npos) return errmsgf(198, "j() takes one new variable name\n");
      return tolong(stubs, ivars, jtext, strj);
    }
    std::vector<int> jv;
    if (int rc = st_textvars(jtext, jv)) return rc;
    if (jv.size() != 1) return errmsgf(103, "j() takes one variable\n");
    return towide(stubs, ivars, jv[0], strj);
  } catch (const std::bad_alloc&) {
    return error(909);
  }
}

}  // namespace

void stats_bindreshape() { cmdbind("reshape", cmd_reshape); }
