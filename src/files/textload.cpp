// The loader shared by the text readers (see textload.h). Observations are
// added in steps of a growing size so that the cost of making room is spread
// thin; the dataset is trimmed to the observations kept at the end.
#include "files/textload.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include <fast_float/fast_float.h>

#include "data/vlabel.h"
#include "expr/expr.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// Observations added by the first step; later steps double it.
constexpr long FIRSTSTEP = 4096;

void refresh(TextLoad& t) {
  t.cols.clear();
  for (int v : t.vars) t.cols.push_back(colview(v));
}

// The value label of numeric variable var, created (named as the variable)
// when absent and automatic is on; nullptr when there is none.
ValueLabel* labelof(const TextLoad& t, int var) {
  std::string& name = ds.lbllist[static_cast<size_t>(var)];
  if (name.empty()) {
    if (!t.automatic) return nullptr;
    name = varname(var);
  }
  if (t.automatic) return &vlcreate(name);
  return const_cast<ValueLabel*>(vlfind(name));
}

}  // namespace

bool TlRange::keep(long fileobs, long obs) const {
  if (hasin && (fileobs < lo || fileobs > hi)) return false;
  return !hasif || selobs(obs);
}

void tl_start(TextLoad& t, const std::vector<int>& vars) {
  t.vars = vars;
  t.kept = 0;
  refresh(t);
}

int tl_slot(TextLoad& t, long obs) {
  if (obs <= ds.nobs) return 0;
  if (ds_pollbreak()) return 1;
  const long cap = obscapacity() - 1;
  if (obs > cap) return error(RC_NOROOMOBS);
  long step = ds.nobs ? 2 * ds.nobs : std::max(FIRSTSTEP, t.hint + t.hint / 16);
  long want = std::max(obs, std::min(cap, step));
  if (int rc = setobs_quiet(want)) return rc;
  refresh(t);
  return 0;
}

bool tl_number(const char* p, size_t n, double* x) {
  while (n && (*p == ' ' || *p == '\t')) ++p, --n;
  while (n && (p[n - 1] == ' ' || p[n - 1] == '\t' || p[n - 1] == '\r')) --n;
  if (!n) return false;
  if (p[0] == '.' && (n == 1 || (n == 2 && p[1] >= 'a' && p[1] <= 'z'))) {
    *x = n == 1 ? misval : misval_k(p[1] - 'a' + 1);
    return true;
  }
  const char* s = p;
  const char* e = p + n;
  if (*s == '+' && ++s < e && *s == '-') return false;
  const char* d = s < e && *s == '-' ? s + 1 : s;
  if (d >= e || !((*d >= '0' && *d <= '9') || *d == '.')) return false;  // no inf, nan, signs
  // The fast parser settles every field that reads as a normal number (both
  // round correctly, so they agree); zero, subnormals and numbers out of
  // range go to the library's, whose rules for them the readers keep.
  auto f = fast_float::from_chars(s, e, *x);
  if (f.ec == std::errc() && f.ptr == e && std::isnormal(*x)) {
    if (*x >= misval) *x = misval;
    return true;
  }
  auto r = std::from_chars(s, e, *x);
  if (r.ec != std::errc() || r.ptr != e) return false;
  if (*x >= misval) *x = misval;  // beyond the largest value: missing
  return true;
}

void tl_store(TextLoad& t, size_t k, long obs, const char* p, size_t n) {
  const ColView& c = t.cols[k];
  if (isstrtype(c.type)) {
    size_t w = static_cast<size_t>(c.type), m = std::min(n, w);
    unsigned char* cell = c.at(obs);
    std::memcpy(cell, p, m);
    if (m < w) std::memset(cell + m, 0, w - m);
    return;
  }
  double x;
  if (tl_number(p, n, &x)) {
    c.put(obs, x);
    return;
  }
  std::string text(p, n);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  size_t b = text.find_first_not_of(' ');
  text.erase(0, b == std::string::npos ? text.size() : b);
  if (text.empty()) {
    c.put(obs, misval);
    return;
  }
  const int var = t.vars[k];
  if (ValueLabel* lab = labelof(t, var)) {
    double code = vlsearch(*lab, text);
    if (ismissing(code) && t.automatic) {
      int32_t next = lab->val.empty() ? 1 : lab->val.back() + 1;
      if (next > 0 && vlset(*lab, next, text) == 0) code = next;
    }
    if (!ismissing(code)) {
      c.put(obs, code);
      return;
    }
  }
  c.put(obs, misval);
  if (text == "NA") return;  // R's missing value: missing without a note
  if (t.notes) {
    int prev = setoutlev(OUT_NOTE);
    spout21f("'%s' cannot be read as a number for %s[%ld]\n", text.c_str(), varname(var).c_str(), obs);
    setoutlev(prev);
  }
}

void tl_blank(TextLoad& t, size_t k, long obs) {
  for (; k < t.cols.size(); ++k) {
    const ColView& c = t.cols[k];
    if (isstrtype(c.type)) std::memset(c.at(obs), 0, static_cast<size_t>(c.type));
    else c.put(obs, misval);
  }
}

void tl_finish(TextLoad& t) {
  if (t.kept == 0) {
    drop_all();
  } else if (ds.nobs > t.kept) {
    (void)keepobsrange(1, t.kept);
  }
  ds.srtlist.clear();
  ds.updata = t.kept > 0;
  int prev = setoutlev(OUT_TEXT);
  spout21f("(%ld observations read)\n", t.kept);
  setoutlev(prev);
}

int tl_numtype(bool any, bool allint, double lo, double hi, bool floatok) {
  if (!any) return ST_BYTE;
  if (allint) {
    if (lo >= -127 && hi <= 100) return ST_BYTE;
    if (lo >= -32767 && hi <= 32740) return ST_INT;
    if (lo >= -2147483647.0 && hi <= 2147483620.0) return ST_LONG;
    return ST_DOUBLE;
  }
  return floatok ? ST_FLOAT : ST_DOUBLE;
}
