// Regular-expression functions: regexm (match, remembering the match for
// regexs), regexr (replace the first match) and regexs (a sub-expression of
// the last regexm match). Patterns are compiled by PCRE2 and kept in a small
// cache, since an expression usually applies one literal pattern to every
// observation. A pattern that does not compile matches nothing.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cmath>

#include "expr/fn_lib.h"

namespace {

using A = const FuncValue*;

// One compiled pattern; code is null when the pattern is invalid.
struct RxEntry {
  std::string pattern;
  pcre2_code* code = nullptr;
  pcre2_match_data* md = nullptr;
  bool used = false;
};

constexpr int RXCACHE = 8;  // distinct patterns alive at once
RxEntry rxcache[RXCACHE];
int rxnext = 0;              // slot replaced next

// Returns the cache entry of pattern, compiling it when new; touches rxcache.
RxEntry& rxget(std::string_view pattern) {
  for (RxEntry& e : rxcache)
    if (e.used && e.pattern == pattern) return e;
  RxEntry& e = rxcache[rxnext];
  rxnext = (rxnext + 1) % RXCACHE;
  if (e.md) pcre2_match_data_free(e.md);
  if (e.code) pcre2_code_free(e.code);
  e = RxEntry{};
  e.used = true;
  e.pattern.assign(pattern);
  int err;
  PCRE2_SIZE erroff;
  e.code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(e.pattern.data()), e.pattern.size(), 0,
                         &err, &erroff, nullptr);
  if (e.code) {
    pcre2_jit_compile(e.code, PCRE2_JIT_COMPLETE);  // falls back to the interpreter on failure
    e.md = pcre2_match_data_create_from_pattern(e.code, nullptr);
  }
  return e;
}

// Matches s against the entry; the number of pairs in the ovector, or 0.
int rxrun(RxEntry& e, std::string_view s) {
  if (!e.code) return 0;
  int rc = pcre2_match(e.code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), 0, 0, e.md,
                       nullptr);
  return rc > 0 ? rc : (rc == 0 ? static_cast<int>(pcre2_get_ovector_count(e.md)) : 0);
}

// regexm(s, re): 1 when re matches somewhere in s; the match is kept in fns
// for regexs().
double r_regexm(A a, int, FuncCtx&) {
  RxEntry& e = rxget(a[1].s);
  int n = rxrun(e, a[0].s);
  fns.rxmatched = n > 0;
  fns.rxnsub = 0;
  for (long& o : fns.rxoff) o = -1;
  if (!n) {
    fns.rxsubject.clear();
    return 0;
  }
  fns.rxsubject.assign(a[0].s);
  PCRE2_SIZE* ov = pcre2_get_ovector_pointer(e.md);
  int keep = n < 10 ? n : 10;
  for (int i = 0; i < keep; ++i) {
    if (ov[2 * i] == PCRE2_UNSET) continue;
    fns.rxoff[2 * i] = static_cast<long>(ov[2 * i]);
    fns.rxoff[2 * i + 1] = static_cast<long>(ov[2 * i + 1]);
  }
  fns.rxnsub = keep - 1;
  return 1;
}

// regexr(s, re, s2): s with the first match of re replaced by s2 (taken
// literally); s itself when re does not match.
void r_regexr(A a, int, std::string& out, FuncCtx&) {
  std::string_view s = a[0].s;
  RxEntry& e = rxget(a[1].s);
  if (!rxrun(e, s)) {
    out.assign(s);
    return;
  }
  PCRE2_SIZE* ov = pcre2_get_ovector_pointer(e.md);
  out.assign(s.substr(0, ov[0]));
  out.append(a[2].s);
  if (ov[1] < s.size()) out.append(s.substr(ov[1]));
  if (out.size() > FN_MAXSTR) out.resize(FN_MAXSTR);
}

// regexs(n): sub-expression n (0 = the whole match, up to 9) of the last
// regexm() match; empty when there is none.
void r_regexs(A a, int, std::string& out, FuncCtx&) {
  out.clear();
  double n = a[0].d;
  if (!fns.rxmatched || fnmiss(n) || n < 0 || n > 9) return;
  int k = static_cast<int>(n);
  long b = fns.rxoff[2 * k], e = fns.rxoff[2 * k + 1];
  if (b < 0 || e < b || static_cast<size_t>(e) > fns.rxsubject.size()) return;
  out.assign(fns.rxsubject, static_cast<size_t>(b), static_cast<size_t>(e - b));
}

const FuncDef rows[] = {
    {"regexm", 420, 2, 2, "s", 'n', r_regexm, nullptr, nullptr, true, 0},
    {"regexr", 421, 3, 3, "s", 's', nullptr, r_regexr, nullptr, false, 0},
    {"regexs", 422, 1, 1, "n", 's', nullptr, r_regexs, nullptr, true, 0},
};

}  // namespace

// The regular-expression fragment of the function table.
FnRows fn_regex_rows() { return {rows, sizeof rows / sizeof rows[0]}; }

void rx_clearcache() {
  for (RxEntry& e : rxcache) {
    if (e.md) pcre2_match_data_free(e.md);
    if (e.code) pcre2_code_free(e.code);
    e = RxEntry{};
  }
  rxnext = 0;
}
