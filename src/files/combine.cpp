// append and merge: the using file is read record by record straight from
// disk (never loaded whole) and joined to the dataset in memory, either
// added at the end, one to one by observation, or by matching sorted keys,
// with the outcome of each observation in a new byte variable (`_merge`).
#include <algorithm>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "data/varlist.h"
#include "files/dta.h"
#include "files/files.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// The using file: its descriptors, the mapping of its variables to master
// variables, the key fields and a read buffer of whole records.
struct UsingFile {
  DtaIn f;
  std::vector<int> map;         // per using variable: master variable (0 = not kept)
  std::vector<char> isnew;      // per using variable: its master variable was made here
  std::vector<int> keys;        // per key: index of the using variable
  std::vector<int> mkeys;       // per key: master variable
  std::vector<unsigned char> buf;
  long perblock = 2, inbuf = 0, next = 0;
  std::vector<DtaLabel> labels;  // the file's value labels, read before any record
};

// The next using record, or nullptr at the end; *rc is set on a read error.
const unsigned char* nextrec(UsingFile& u, int* rc) {
  if (u.next >= u.inbuf) {
    if (u.f.lrecl == 0) {
      u.inbuf = std::min(u.perblock, u.f.nobs - u.f.nread);
      u.f.nread += u.inbuf;
    } else if ((*rc = dta_readrecs(u.f, u.buf.data(), u.perblock, &u.inbuf))) {
      return nullptr;
    }
    u.next = 0;
    if (u.inbuf == 0) return nullptr;
  }
  return u.buf.data() + static_cast<size_t>(u.next++) * static_cast<size_t>(u.f.lrecl);
}

// The text of a string field (cut at its NUL).
std::string fieldstr(const unsigned char* p, int width) {
  const char* s = reinterpret_cast<const char*>(p);
  return std::string(s, strnlen(s, static_cast<size_t>(width)));
}

// Copies using field k of rec into master variable v at obs: numbers through
// the file's encoding, strings cut and terminated; a kind mismatch gives
// missing or the empty string.
void putfield(const UsingFile& u, size_t k, const unsigned char* rec, int v, long obs) {
  const DtaVar& uv = u.f.vars[k];
  const unsigned char* p = rec + uv.off;
  const bool ustr = isstrtype(uv.type), mstr = isstrtype(vartype(v));
  if (mstr) safe_sstore(v, obs, ustr ? fieldstr(p, uv.width).c_str() : "");
  else store(v, obs, ustr ? misval : dta_decode(uv.type, p, u.f.rel->dbl333));
}

// Sets observation obs to missing (empty strings) in every variable.
void blankobs(long obs) {
  for (int v = 1; v <= ds.nvar; ++v) {
    if (isstrtype(vartype(v))) safe_sstore(v, obs, "");
    else store(v, obs, varname(v) == "(e)" ? 0 : misval);
  }
}

// Adds one observation at the end (growing capacity as needed). 0 or rc.
int addobs() {
  if (ds.nobs + 1 >= ds.maxobs) {
    if (ds.nobs + 1 >= obscapacity()) return error(RC_NOROOMOBS);
    if (int rc = repartobs(std::max(1024L, ds.nobs / 2))) {
      if (int rc2 = repartobs(1)) return error(rc2 ? rc2 : rc);
    }
  }
  return setobs_quiet(ds.nobs + 1);
}

// The kept using variables from keep(): 0 or a printed 111.
int keptvars(UsingFile& u, bool haskeep, const std::string& keeplist) {
  const size_t n = u.f.vars.size();
  u.map.assign(n, haskeep ? 0 : 1);
  if (!haskeep) return 0;
  size_t i = 0;
  while (i < keeplist.size()) {
    while (i < keeplist.size() && keeplist[i] == ' ') ++i;
    size_t j = i;
    while (j < keeplist.size() && keeplist[j] != ' ') ++j;
    std::string w = keeplist.substr(i, j - i);
    i = j;
    if (w.empty()) continue;
    if (w.find_first_of("*?~") != std::string::npos) {
      int hits = 0;
      for (size_t k = 0; k < n; ++k)
        if (vlmatch(w.c_str(), u.f.vars[k].name.c_str())) u.map[k] = 1, ++hits;
      if (!hits) return errmsgf(RC_NOTFOUND, "no using variables found matching %s\n", w.c_str());
      if (hits > 1 && w.find('~') != std::string::npos)
        return errmsgf(RC_NOTFOUND, "%s matches more than one using variable\n", w.c_str());
      continue;
    }
    bool found = false;
    for (size_t k = 0; k < n; ++k)
      if (u.f.vars[k].name == w) u.map[k] = 1, found = true;
    if (!found) return errmsgf(RC_NOTFOUND, "variable %s not found in using dataset\n", w.c_str());
  }
  return 0;
}

// Whether a master type can hold the values of a using type of the same kind.
bool holds(int mt, int ut) {
  if (isstrtype(mt)) return mt >= ut;
  if (mt == ut || mt == ST_DOUBLE) return true;
  if ((mt == ST_LONG || mt == ST_FLOAT) && (ut == ST_BYTE || ut == ST_INT)) return true;
  return mt == ST_INT && ut == ST_BYTE;
}

// Finds or makes the master variable of each kept using variable,
// reconciling types. 0 or a printed code.
int mapvars(UsingFile& u, bool update) {
  u.isnew.assign(u.f.vars.size(), 0);
  for (size_t k = 0; k < u.f.vars.size(); ++k) {
    if (!u.map[k]) continue;
    const DtaVar& uv = u.f.vars[k];
    const int ut = dta_modern(uv.type);
    int v = findvarexact(uv.name.c_str());
    if (!v) {
      if (uv.name == "(e)") {
        if (int rc = addwrkvar(ST_BYTE)) return rc;
        ds.varlist[static_cast<size_t>(ds.nvar)] = "(e)";
        for (long i = 1; i <= ds.nobs; ++i) store(ds.nvar, i, 0);
      } else if (int rc = addvar(uv.name.c_str(), ut)) {
        return rc;
      }
      v = ds.nvar;
      u.isnew[k] = 1;
      if (!uv.fmt.empty()) ds.fmtlist[static_cast<size_t>(v)] = uv.fmt;
      if (!isstrtype(ut)) ds.lbllist[static_cast<size_t>(v)] = uv.lblname;
      ds.varlabels[static_cast<size_t>(v)] = uv.varlab;
    } else {
      const int mt = vartype(v);
      if (isstrtype(mt) != isstrtype(ut)) {
        std::string ut_name = typename_of(ut);
        spout21f("(note: %s is %s in using data but will be %s now)\n", uv.name.c_str(), ut_name.c_str(),
                 typename_of(mt));
      } else if (!holds(mt, ut)) {
        int nt = (mt == ST_LONG || mt == ST_FLOAT) ? ST_DOUBLE : ut;
        if (interp.version < 500) {
          std::string ut_name = typename_of(ut);
          spout21f("(note: %s is %s in using data but will be %s now)\n", uv.name.c_str(),
                   ut_name.c_str(), typename_of(mt));
        } else {
          std::string was = typename_of(mt);  // the name may sit in a shared buffer
          if (int rc = change_vartype(v, nt)) return rc;
          spout21f("%s was %s now %s\n", uv.name.c_str(), was.c_str(), typename_of(nt));
        }
      }
      if (update) {
        if (ds.lbllist[static_cast<size_t>(v)].empty() && !isstrtype(vartype(v)))
          ds.lbllist[static_cast<size_t>(v)] = uv.lblname;
        if (ds.varlabels[static_cast<size_t>(v)].empty()) ds.varlabels[static_cast<size_t>(v)] = uv.varlab;
      }
    }
    u.map[k] = v;
  }
  return 0;
}

// True for a characteristic that holds a note ("note" and digits).
bool isnote(const std::string& name) {
  if (name.size() < 5 || name.compare(0, 4, "note") != 0) return false;
  return std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Combines the using file's characteristics with those in memory: the
// master's own stay, the using file's fill what is absent, and with notes
// the using notes follow the master's under new numbers.
void combinechars(const UsingFile& u, bool notes) {
  for (const DtaChar& c : u.f.chars) {
    if (c.owner != "_dta") {
      bool kept = false;
      for (size_t k = 0; k < u.f.vars.size(); ++k)
        if (u.map[k] && u.f.vars[k].name == c.owner) kept = true;
      if (!kept) continue;
    }
    if (isnote(c.name)) {
      if (!notes || c.name == "note0") continue;
      const std::string* cnt = charget(c.owner.c_str(), "note0");
      long n = cnt ? std::atol(cnt->c_str()) : 0;
      bool dup = false;  // the same text already among the notes
      for (long j = 1; j <= n && !dup; ++j) {
        const std::string* t = charget(c.owner.c_str(), ("note" + std::to_string(j)).c_str());
        dup = t && *t == c.text;
      }
      if (dup) continue;
      charset(c.owner.c_str(), ("note" + std::to_string(n + 1)).c_str(), c.text);
      charset(c.owner.c_str(), "note0", std::to_string(n + 1));
      continue;
    }
    if (!charget(c.owner.c_str(), c.name.c_str())) charset(c.owner.c_str(), c.name.c_str(), c.text);
  }
}

struct Opts {
  bool label = true, notes = true, keep = true, update = false, replace = false;
  bool uniqmaster = false, uniqusing = false, msginit = false;
  bool haskeepv = false;
  std::string keepv, mergename = "_merge";
};

// The state to restore when the command fails.
struct Undo {
  long nobs = 0;
  int nvar = 0;
};

int rollback(const Undo& un, int rc) {
  if (ds.nobs > un.nobs) (void)keepobsrange(1, un.nobs);
  if (ds.nvar > un.nvar) {
    std::vector<int> gone;
    for (int v = un.nvar + 1; v <= ds.nvar; ++v) gone.push_back(v);
    (void)droporkeepvars(gone, false);
  }
  return rc;
}

// Sets the estimation-sample marker to 0 in the observations added.
void esample_zero(long from) {
  int e = findvarexact("(e)");
  if (!e) return;
  for (long i = from; i <= ds.nobs; ++i) store(e, i, 0);
}

// After a successful combine: labels, notes, changed and not sorted.
void finish(UsingFile& u, const Opts& o, long nobs0) {
  esample_zero(nobs0 + 1);
  if (o.label) dtalbl_install(u.labels);
  combinechars(u, o.notes);
  ds.srtlist.clear();
  ds.updata = true;
}

// Opens the using file, reads its value labels (so that a corrupt table
// fails before the dataset changes) and maps its variables. 0 or a printed
// code.
int setup(UsingFile& u, const std::string& fn, const Opts& o) {
  if (int rc = dta_open(u.f, fn)) return rc;
  if (o.label) {
    if (int rc = dta_readlabels(u.f, u.labels)) return rc;
    if (::lseek(u.f.fd, static_cast<off_t>(u.f.datastart), SEEK_SET) < 0) return fierr(RC_READ, fn.c_str());
  }
  u.perblock = u.f.lrecl ? std::max(2L, 24000 / u.f.lrecl) : 2;
  if (2 * u.f.lrecl > 23999) u.perblock = 2;
  if (u.f.lrecl >= ds.maxlrecl) return error(RC_NOROOMWIDTH);
  u.buf.resize(static_cast<size_t>(u.perblock * std::max(u.f.lrecl, 1L)));
  return keptvars(u, o.haskeepv, o.keepv);
}

// The file name and options of append/merge from the parsed line.
int getopts(ParseResult& pr, Opts& o, bool merge) {
  o.label = findopt(pr, "label", 1, 1) == 1;
  o.notes = findopt(pr, "notes", 4, 1) == 1;
  o.haskeepv = findargasis(pr, "keep", 1, o.keepv, 100000);
  if (merge) {
    o.keep = findopt(pr, "keep", 1, 1) == 1;
    o.update = findopt(pr, "update", 6, 0) == 1;
    o.replace = findopt(pr, "replace", 7, 0) == 1;
    if (findopt(pr, "unique", 4, 0) == 1) o.uniqmaster = o.uniqusing = true;
    if (findopt(pr, "uniqmaster", 5, 0) == 1) o.uniqmaster = true;
    if (findopt(pr, "uniqusing", 6, 0) == 1) o.uniqusing = true;
    o.msginit = findopt(pr, "msginit", 7, 0) == 1;
    std::string name;
    if (findargasis(pr, "_merge", 2, name, 100)) {
      name.erase(0, name.find_first_not_of(' '));
      while (!name.empty() && name.back() == ' ') name.pop_back();
      o.mergename = name;
    }
  }
  if (int rc = chkopt(pr)) return rc;
  if (o.replace && !o.update) return errmsgf(RC_SYNTAX, "option replace requires option update\n");
  return 0;
}

// append using filename [, nolabel nonotes keep(names)]
int cmd_append(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .usingfile = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  Opts o;
  if (int rc = getopts(pr, o, false)) return rc;
  if (ds.nvar == 0) return error(RC_NODATA);
  std::string fn = dta_fname(pr.usingfn);
  UsingFile u;
  Undo un{ds.nobs, ds.nvar};
  int rc = setup(u, fn, o);
  if (!rc) rc = mapvars(u, false);
  // A header can claim more records than the data area can take: say so
  // before adding any, rather than after filling the area one by one.
  if (!rc && u.f.nobs > 0 && u.f.nobs >= obscapacity() - ds.nobs) rc = error(RC_NOROOMOBS);
  long obs = ds.nobs;
  while (!rc) {
    const unsigned char* rec = nextrec(u, &rc);
    if (!rec) break;
    if ((rc = addobs())) break;
    ++obs;
    for (size_t k = 0; k < u.map.size(); ++k)
      if (u.map[k]) putfield(u, k, rec, u.map[k], obs);
    if ((obs & 0xffff) == 0 && ds_pollbreak()) rc = 1;
  }
  if (rc) {
    dta_close(u.f);
    return rollback(un, rc);
  }
  finish(u, o, un.nobs);
  dta_close(u.f);
  return 0;
}

// ---------------------------------------------------------------------------
// merge

// Compares the keys of a using record with master observation obs: <0 when
// the master key is larger, >0 when smaller, 0 when equal.
int keycmp(const UsingFile& u, const unsigned char* rec, long obs) {
  for (size_t j = 0; j < u.keys.size(); ++j) {
    const DtaVar& uv = u.f.vars[static_cast<size_t>(u.keys[j])];
    const int mv = u.mkeys[j];
    const unsigned char* p = rec + uv.off;
    if (isstrtype(uv.type)) {
      std::string a = fieldstr(p, uv.width), b;
      szelta_data(mv, obs, b);
      int c = a.compare(b);
      if (c) return c < 0 ? -1 : 1;
    } else {
      double a = dta_decode(uv.type, p, u.f.rel->dbl333), b = zelta_data(mv, obs);
      if (a != b) return a < b ? -1 : 1;
    }
  }
  return 0;
}

// True when master observations a and b have the same keys.
bool samemaster(const std::vector<int>& mkeys, long a, long b) {
  for (int v : mkeys) {
    if (isstrtype(vartype(v))) {
      std::string x, y;
      szelta_data(v, a, x);
      szelta_data(v, b, y);
      if (x != y) return false;
    } else if (zelta_data(v, a) != zelta_data(v, b)) {
      return false;
    }
  }
  return true;
}

// "variable id" / "variables id year" with "does" or "do".
std::string keywords(const UsingFile& u, const char** verb) {
  std::string s = u.keys.size() > 1 ? "variables" : "variable";
  for (int k : u.keys) s += " " + u.f.vars[static_cast<size_t>(k)].name;
  *verb = u.keys.size() > 1 ? "do" : "does";
  return s;
}

int notunique(const UsingFile& u, const char* which) {
  const char* verb;
  std::string s = keywords(u, &verb);
  int prev = setoutlev(OUT_ERROR);
  spoutsml(("{p 0 4}" + s + " " + verb + " not uniquely identify observations in the " + which +
            " data{p_end}\n").c_str());
  setoutlev(prev);
  return RC_BADDATA;
}

void warnunique(const UsingFile& u, const std::string& where) {
  const char* verb;
  std::string s = keywords(u, &verb);
  int prev = setoutlev(OUT_TEXT);
  spout21((s + " " + verb + " not uniquely identify observations in " + where + "\n").c_str());
  setoutlev(prev);
}

// Applies a using record to master observation obs: new variables always
// take the using value; existing ones only under update (and replace for
// disagreements). Returns the outcome code (3, 4 or 5).
int apply(const UsingFile& u, const Opts& o, const unsigned char* rec, long obs) {
  int code = 3;
  for (size_t k = 0; k < u.map.size(); ++k) {
    const int v = u.map[k];
    if (!v) continue;
    if (u.isnew[k]) {
      putfield(u, k, rec, v, obs);
      continue;
    }
    if (!o.update) continue;
    const DtaVar& uv = u.f.vars[k];
    const unsigned char* p = rec + uv.off;
    if (isstrtype(uv.type) != isstrtype(vartype(v))) continue;
    int c;
    if (isstrtype(uv.type)) {
      std::string a = fieldstr(p, uv.width), m;
      szelta_data(v, obs, m);
      c = (a == m || a.empty()) ? 3 : m.empty() ? 4 : 5;
    } else {
      double a = dta_decode(uv.type, p, u.f.rel->dbl333), m = zelta_data(v, obs);
      c = (a == m || ismissing(a)) ? 3 : ismissing(m) ? 4 : 5;
    }
    if (c == 4 || (c == 5 && o.replace)) putfield(u, k, rec, v, obs);
    code = std::max(code, c);
  }
  return code;
}

// A new observation holding only the using record, outcome 2.
int addusingobs(const UsingFile& u, const unsigned char* rec, int mvar) {
  if (int rc = addobs()) return rc;
  blankobs(ds.nobs);
  for (size_t k = 0; k < u.map.size(); ++k)
    if (u.map[k]) putfield(u, k, rec, u.map[k], ds.nobs);
  store(mvar, ds.nobs, 2);
  return 0;
}

// A new observation copying master observation from, with rec applied.
int addcopyobs(const UsingFile& u, const Opts& o, const unsigned char* rec, long from, int mvar) {
  if (int rc = addobs()) return rc;
  std::vector<unsigned char> row(static_cast<size_t>(ds.lrecl) + 1);
  getdtaobs(row.data(), from, ds.lrecl);
  putdtaobs(row.data(), ds.nobs, ds.lrecl);
  store(mvar, ds.nobs, apply(u, o, rec, ds.nobs));
  return 0;
}

// One-to-one: the n-th using record goes with master observation n.
int merge_onetoone(UsingFile& u, const Opts& o, int mvar, long nmaster) {
  // Records past the master's end become observations: refuse a header that
  // claims more of them than the data area can take before adding any.
  if (o.keep && u.f.nobs - nmaster >= obscapacity() - ds.nobs) return error(RC_NOROOMOBS);
  long i = 0;
  int rc = 0;
  while (true) {
    const unsigned char* rec = nextrec(u, &rc);
    if (rc) return rc;
    if (!rec) break;
    ++i;
    if (i <= nmaster) {
      store(mvar, i, apply(u, o, rec, i));
    } else if (o.keep) {
      if ((rc = addusingobs(u, rec, mvar))) return rc;
    }
    if ((i & 0xffff) == 0 && ds_pollbreak()) return 1;
  }
  for (long j = 1; j <= nmaster; ++j)
    if (zelta_data(mvar, j) == 0) store(mvar, j, 1);
  return 0;
}

// Match merge: the master and using streams, both sorted by the keys,
// walked together.
int merge_match(UsingFile& u, const Opts& o, int mvar, long nmaster, const std::string& fn) {
  int rc = 0;
  bool warned = false;
  long i = 1, polls = 0;
  std::vector<unsigned char> cur(static_cast<size_t>(u.f.lrecl) + 1);
  const unsigned char* rec = nextrec(u, &rc);
  if (rc) return rc;
  while (rec) {
    if ((++polls & 0xffff) == 0 && ds_pollbreak()) return 1;
    int c = i <= nmaster ? keycmp(u, rec, i) : -1;
    if (c > 0) {  // master key smaller: no using match for i
      if (zelta_data(mvar, i) == 0) store(mvar, i, 1);
      ++i;
      continue;
    }
    if (c < 0) {  // master key larger, or master exhausted
      if (i > 1 && keycmp(u, rec, i - 1) == 0) {
        if (o.uniqusing) return notunique(u, "using");
        if (!warned) warnunique(u, fn), warned = true;
        if ((rc = addcopyobs(u, o, rec, i - 1, mvar))) return rc;
      } else if (o.keep) {
        if ((rc = addusingobs(u, rec, mvar))) return rc;
      }
      rec = nextrec(u, &rc);
      if (rc) return rc;
      continue;
    }
    // keys equal
    store(mvar, i, apply(u, o, rec, i));
    ++i;
    std::memcpy(cur.data(), rec, static_cast<size_t>(u.f.lrecl));
    const unsigned char* nxt = nextrec(u, &rc);
    if (rc) return rc;
    if (!(nxt && i <= nmaster && keycmp(u, nxt, i) == 0)) {
      while (i <= nmaster && keycmp(u, cur.data(), i) == 0) {
        store(mvar, i, apply(u, o, cur.data(), i));
        ++i;
      }
    }
    rec = nxt;
  }
  for (long j = 1; j <= nmaster; ++j)
    if (zelta_data(mvar, j) == 0) store(mvar, j, 1);
  // Using-only observations with repeated keys.
  long prev = 0;
  for (long j = nmaster + 1; j <= ds.nobs; ++j) {
    if (zelta_data(mvar, j) != 2) continue;
    if (prev && samemaster(u.mkeys, prev, j)) {
      if (o.uniqusing) return notunique(u, "using");
      if (!warned) warnunique(u, fn), warned = true;
      break;
    }
    prev = j;
  }
  return 0;
}

// The key variables: found in the using file, in its sort order, of the
// same kind. 0 or a printed code.
int setkeys(UsingFile& u, const std::vector<int>& mkeys) {
  for (size_t j = 0; j < mkeys.size(); ++j) {
    const std::string& name = varname(mkeys[j]);
    int k = -1;
    for (size_t q = 0; q < u.f.vars.size(); ++q)
      if (u.f.vars[q].name == name) k = static_cast<int>(q);
    if (k < 0) return errmsgf(RC_NOTFOUND, "variable %s not found in using data\n", name.c_str());
    if (j >= u.f.srt.size() || u.f.srt[j] != k + 1) {
      int prev = setoutlev(OUT_ERROR);
      spout21("using data ");
      setoutlev(prev);
      return error(RC_NOTSORTED);
    }
    const DtaVar& uv = u.f.vars[static_cast<size_t>(k)];
    if (isstrtype(uv.type) != isstrtype(vartype(mkeys[j])))
      return errmsgf(RC_WRONGTYPE, "%s is %s in using data\n", name.c_str(), typename_of(dta_modern(uv.type)));
    u.keys.push_back(k);
    u.map[static_cast<size_t>(k)] = 1;  // keys are always kept
  }
  u.mkeys = mkeys;
  return 0;
}

// merge [varlist] using filename [, options]
int cmd_merge(int) {
  ParseResult pr;
  if (ds.nvar == 0) return error(RC_NODATA);
  if (int rc = parse({.ifexp = PERM_NO, .range = PERM_NO, .usingfile = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  std::vector<int> mkeys = vl.varlist_vr;
  Opts o;
  if (int rc = getopts(pr, o, true)) return rc;
  std::string fn = dta_fname(pr.usingfn);
  if (!mkeys.empty()) {
    bool sorted = ds.srtlist.size() >= mkeys.size() &&
                  std::equal(mkeys.begin(), mkeys.end(), ds.srtlist.begin());
    if (!sorted) {
      int prev = setoutlev(OUT_ERROR);
      spout21("master data ");
      setoutlev(prev);
      return error(RC_NOTSORTED);
    }
  }
  if (findvarexact(o.mergename.c_str())) return error2(3, o.mergename.c_str());
  if (int rc = chkvarname(o.mergename.c_str())) return rc;
  UsingFile u;
  Undo un{ds.nobs, ds.nvar};
  int rc = setup(u, fn, o);
  if (!rc && !mkeys.empty()) rc = setkeys(u, mkeys);
  if (!rc && !mkeys.empty() && (o.uniqmaster || o.msginit)) {
    for (long i = 2; i <= ds.nobs; ++i)
      if (samemaster(mkeys, i - 1, i)) {
        if (o.uniqmaster) rc = notunique(u, "master");
        else warnunique(u, "the master data");
        break;
      }
  }
  if (!rc) rc = mapvars(u, o.update);
  if (!rc) rc = addvar(o.mergename.c_str(), ST_BYTE);
  const int mvar = ds.nvar;
  if (!rc)
    for (long i = 1; i <= ds.nobs; ++i) store(mvar, i, 0);
  if (!rc) rc = mkeys.empty() ? merge_onetoone(u, o, mvar, un.nobs) : merge_match(u, o, mvar, un.nobs, fn);
  if (rc) {
    dta_close(u.f);
    return rollback(un, rc);
  }
  finish(u, o, un.nobs);
  dta_close(u.f);
  return 0;
}

}  // namespace

void files_bindcombine() {
  cmdbind("append", cmd_append, 0);
  cmdbind("_merge", cmd_merge, 0);
}
