// `generate` and `replace`: write a whole variable from a compiled
// expression, in blocks of observations where the program allows it and one
// observation at a time where order matters (subscripts, sum(), strings).
// Owns the running counts of their messages, kept across the groups of a
// `by` run and reported after the last group.
#include <cmath>
#include <cstdint>
#include <emmintrin.h>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/by.h"
#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "expr/exprint.h"
#include "expr/opcodes.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

// True when this call starts a fresh count (no `by`, or its first group).
bool firstcall() { return !cmd_bylevel || ex.byvar <= 1; }
// True when the counts are to be reported now.
bool lastcall() { return !cmd_bylevel || ex.bylast; }

int note(const std::string& s) {
  int prev = setoutlev(OUT_NOTE);
  spout21(s.c_str());
  setoutlev(prev);
  return 0;
}

bool sameval(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || a == b; }

// Selection of observations obs..obs+n-1: inside the range and passing `if`.
// Returns true when every one of them is selected.
bool selectblock(long obs, long n, unsigned char* sel) {
  selobs_block(obs, n, sel);
  if (obs >= ds.nobs1 && obs + n - 1 <= ds.nobs2) return ex.ifpgm.empty() || !std::memchr(sel, 0, static_cast<size_t>(n));
  for (long i = 0; i < n; ++i)
    if (obs + i < ds.nobs1 || obs + i > ds.nobs2) sel[i] = 0;
  return false;
}

// True when prog and the `if` may be evaluated a block at a time: neither
// reads other observations and they do not both draw random numbers (the
// draws would then come in another order).
bool orderfree(const ExprProg& p) {
  return p.blockok && (ex.ifpgm.empty() || ex.ifpgm.blockok) && !(p.nvolatile && ex.ifpgm.nvolatile);
}

// Selection and values of obs..obs+n-1: by blocks when order does not
// matter, else one observation at a time (the `if`, then the expression).
void fillblock(const ExprProg& prog, long obs, long n, unsigned char* sel, double* vals) {
  if (orderfree(prog)) {
    selectblock(obs, n, sel);
    evalnum_block(prog, obs, n, vals, sel);
    return;
  }
  for (long i = 0; i < n; ++i) {
    long o = obs + i;
    sel[i] = o >= ds.nobs1 && o <= ds.nobs2 && selobs(o);
    vals[i] = sel[i] ? evalnum(prog, o) : misval;
  }
}

// Copies the cell image `cell` into observations obs..obs+n-1 of a column.
void col_fill(const ColView& c, long obs, long n, const unsigned char* cell) {
  unsigned char* p = c.at(obs);
  const size_t w = static_cast<size_t>(c.stride);
  if (w == 8 && n >= 4096) {
    // A long run of doubles: streaming stores, which do not first read the
    // cache lines they overwrite (columns start 8-aligned).
    long i = 0;
    uint64_t u;
    std::memcpy(&u, cell, 8);
    for (; i < n && (reinterpret_cast<uintptr_t>(p + i * 8) & 15); ++i) std::memcpy(p + i * 8, &u, 8);
    const __m128i v = _mm_set1_epi64x(static_cast<long long>(u));
    for (; i + 2 <= n; i += 2) _mm_stream_si128(reinterpret_cast<__m128i*>(p + i * 8), v);
    _mm_sfence();
    for (; i < n; ++i) std::memcpy(p + i * 8, &u, 8);
    return;
  }
  for (long i = 0; i < n; ++i) std::memcpy(p + static_cast<size_t>(i) * w, cell, w);
}

// A new numeric variable whose expression is one literal, with no `if` and
// the whole range: the cell is encoded once and copied down the column
// (double columns with stores that bypass the cache). False when the
// program is anything else; then *rc is untouched.
bool gen_constant(int v, const ExprProg& prog, bool all, int* rc) {
  const auto& c = prog.code;
  if (!all || !ex.ifpgm.empty() || ds.nobs1 != 1 || ds.nobs2 != ds.nobs || c.size() != 2 || c[0] != XO_LIT)
    return false;
  const double x = xv_fin(prog.lits[static_cast<size_t>(c[1] - 1)]);
  const ColView col = colview(v);
  unsigned char cell[8];
  cell_put(col.type, cell, x);
  const bool miss = cell_get(col.type, cell) >= misval;
  constexpr long CHUNK = 1L << 20;  // observations between Break polls
  for (long obs = 1; obs <= ds.nobs; obs += CHUNK) {
    if (ds_pollbreak()) return *rc = 1, true;
    const long n = std::min(CHUNK, ds.nobs - obs + 1);
    col_fill(col, obs, n, cell);
  }
  if (miss) gencounts.missing += ds.nobs;
  *rc = 0;
  return true;
}

// Ranges at least this long are filled by two threads, each taking half
// of the observations (the values do not depend on which thread computes
// them, and the missing counts are summed).
constexpr long PARGEN = 1L << 20;

// True when prog reads nothing but its arguments, the columns and fixed
// state, so that two threads may evaluate it at once: the mathematical
// functions with block forms, and no random numbers.
bool threadsafe(const ExprProg& p) {
  if (!p.blockok || p.nvolatile) return false;
  const auto& c = p.code;
  for (size_t pc = 0; pc < c.size();) {
    const int op = c[pc++];
    const int arg = xo_hasoperand(op) ? c[pc++] : 0;
    if (op == XO_MATEL || op == XO_TSVAR) return false;
    if (op == XO_FUNC) {
      const FuncDef* row = xf_row(arg);
      if (!row || !row->vec1 || row->volatile_) return false;
    }
  }
  return true;
}

// Fills observations lo..hi of numeric variable v (its type fixed for the
// run), adding the missing results to *missing; `helper` marks the second
// thread, which reads the Break flag itself. 0 or 1 (Break).
int genrange(int v, const ExprProg& prog, long lo, long hi, bool countout, long* missing, bool helper) {
  alignas(64) thread_local double vals[EXPR_BLOCK];
  alignas(64) thread_local double back[EXPR_BLOCK];
  thread_local unsigned char sel[EXPR_BLOCK];
  const ColView col = colview(v);
  for (long obs = lo; obs <= hi; obs += EXPR_BLOCK) {
    long n = std::min(EXPR_BLOCK, hi - obs + 1);
    if (helper ? stopflag != 0 : ds_pollbreak()) return 1;
    const bool allin = countout || (obs >= ds.nobs1 && obs + n - 1 <= ds.nobs2);
    long miss = 0;
    if (col.type == ST_DOUBLE && orderfree(prog)) {
      // Every observation selected: the values go straight into the column
      // and are counted there.
      if (selectblock(obs, n, sel)) {
        double* const p = reinterpret_cast<double*>(col.at(obs));
        evalnum_block(prog, obs, n, p, sel);
        for (long i = 0; i < n; ++i) miss += p[i] >= misval;
        *missing += miss;
        continue;
      }
      evalnum_block(prog, obs, n, vals, sel);
    } else {
      fillblock(prog, obs, n, sel, vals);
    }
    if (col.type == ST_DOUBLE) {
      // The common case: one pass that stores and counts.
      unsigned char* const p = col.at(obs);
      for (long i = 0; i < n; ++i) {
        double d = sel[i] ? vals[i] : misval;
        std::memcpy(p + i * 8, &d, 8);
        miss += (d >= misval) & (allin || (obs + i >= ds.nobs1 && obs + i <= ds.nobs2));
      }
      *missing += miss;
      continue;
    }
    for (long i = 0; i < n; ++i) vals[i] = sel[i] ? vals[i] : misval;
    col_encode(col, obs, n, vals);
    // What the cells now hold decides what counts as missing.
    col_decode(col, obs, n, back);
    for (long i = 0; i < n; ++i)
      miss += (back[i] >= misval) & (allin || (obs + i >= ds.nobs1 && obs + i <= ds.nobs2));
    *missing += miss;
  }
  return 0;
}

// Fills numeric variable v; counts missing results. Observations outside the
// range are written only when `all` (the variable is new).
int gen_numeric(int v, const ExprProg& prog, bool all, bool countout) {
  if (int rc; gen_constant(v, prog, all, &rc)) return rc;
  long lo = all ? 1 : ds.nobs1, hi = all ? ds.nobs : ds.nobs2;
  expr_startrun(prog);
  if (hi - lo + 1 >= PARGEN && !plat_onethread() && orderfree(prog) && threadsafe(prog) &&
      (ex.ifpgm.empty() || threadsafe(ex.ifpgm))) {
    // The halves meet on a block boundary, so each block is the one a
    // single thread would evaluate.
    const long mid = lo + (hi - lo + 1) / 2 / EXPR_BLOCK * EXPR_BLOCK;
    long miss1 = 0, miss2 = 0;
    int rc2 = 0;
    try {
      std::thread t([&] { rc2 = genrange(v, prog, mid, hi, countout, &miss2, true); });
      const int rc1 = genrange(v, prog, lo, mid - 1, countout, &miss1, false);
      t.join();
      gencounts.missing += miss1 + miss2;
      return rc1 ? rc1 : rc2;
    } catch (const std::system_error&) {  // no second thread: one does it all
    }
  }
  long miss = 0;
  const int rc = genrange(v, prog, lo, hi, countout, &miss, false);
  gencounts.missing += miss;
  return rc;
}

// A string result computed ahead of the loop: the first selected
// observation's value, used to give a new variable its width at once.
struct FirstStr {
  long obs = 0;  // 0: none computed
  int len = 0;
  char buf[EXPR_STRMAX + 1] = {0};
};

// Evaluates the first selected observation of the range into f.
void firststring(const ExprProg& prog, FirstStr& f) {
  expr_startrun(prog);
  for (long o = ds.nobs1; o <= ds.nobs2; ++o)
    if (selobs(o)) {
      f.obs = o;
      f.len = evalstr_n(prog, o, f.buf);
      return;
    }
  f.obs = ds.nobs2 + 1;  // nothing selected
}

// Fills string variable v; widens it when `widen` and a result is longer.
// f, when computed, holds the value of its observation (and means that no
// observation before it in the range is selected).
int gen_string(int v, const ExprProg& prog, bool all, bool countout, bool widen, const FirstStr& f) {
  char buf[EXPR_STRMAX + 1];
  long lo = all ? 1 : ds.nobs1, hi = all ? ds.nobs : ds.nobs2;
  if (!f.obs) expr_startrun(prog);
  for (long o = lo; o <= hi; ++o) {
    if ((o & 1023) == 0 && ds_pollbreak()) return 1;
    bool inrange = o >= ds.nobs1 && o <= ds.nobs2;
    int len = 0;
    if (inrange) {
      if (f.obs && o <= f.obs) {
        if (o == f.obs) std::memcpy(buf, f.buf, static_cast<size_t>(f.len) + 1), len = f.len;
      } else if (selobs(o)) {
        len = evalstr_n(prog, o, buf);
      }
    }
    int w = vartype(v);
    if (widen && len > w) {
      if (int rc = change_vartype(v, std::min(len, EXPR_STRMAX))) return rc;
      w = vartype(v);
    }
    // As safe_sstore, but the result may hold NUL bytes: the bytes, then a
    // NUL when shorter than the width.
    unsigned char* p = dtaptr(v, o);
    int k = std::min(len, w);
    std::memcpy(p, buf, static_cast<size_t>(k));
    if (k < w) p[k] = 0;
    if (!len && (inrange || countout)) ++gencounts.missing;
  }
  return 0;
}

// A type word: its code, 1 for the bare word "str" (widening), 0 for none.
int typeword(const std::string& w, bool* bare) {
  *bare = false;
  if (w == "str") {
    *bare = true;
    return 1;
  }
  return typecode(w.c_str());
}

}  // namespace

// generate [type] newvar[:lblname] = exp [if] [in]
int cmd_generate(int) {
  ParseResult pr;
  std::string w = gettok(prsestd);
  bool bare = false;
  int type = typeword(w, &bare);
  if (type) w = gettok(prsestd);
  std::vector<std::string> names;
  std::string lbl;
  while (!w.empty() && w != "=" && w != "==") {
    if (w == ":") {
      if (names.empty()) return error(RC_SYNTAX);
      lbl = gettok(prsestd);
      if (lbl.empty()) return error(RC_SYNTAX);
    } else {
      names.push_back(w);
    }
    w = gettok(prsestd);
  }
  if (names.empty()) return error(RC_TOOFEWVARS);
  if (names.size() > 1) return error(RC_TOOMANYVARS);
  if (w != "=") return required("=exp");
  ExprProg prog;
  if (int rc = compexp(prog, EXP_NUMSTR, 0, 0)) return rc;
  if (int rc = parse_ifinopts({.varlist = PERM_NO, .by = PERM_OPTIONAL}, pr)) return rc;
  if (int rc = chkopt(pr)) return rc;
  const bool isstr = prog.type == EXP_STR;
  bool widen = bare;
  if (!type) {
    if (isstr) {
      if (interp.version < 800) return error(RC_TYPEMISMATCH);
      type = 1;
      widen = true;
    } else {
      type = ds.deftype;
    }
  }
  if (isstr != isstrtype(type)) return error(RC_TYPEMISMATCH);
  if (!lbl.empty() && isstr) return error(RC_LABELSTR);
  // One group (or the whole range): everything below depends on it.
  auto rungroup = [&]() -> int {
    if (firstcall()) gencounts = GenCounts{};
    // Under `by` the first group creates the variable, later groups fill theirs.
    bool later = cmd_bylevel && ex.byvar > 1;
    int v = later ? findvarexact(names[0].c_str()) : 0;
    FirstStr first;
    if (!v && isstr && widen) {
      // Start at the first result's width rather than widening right away.
      firststring(prog, first);
      type = std::max(1, first.len);
    }
    // Under by every group writes its own observations: the first one makes
    // the variable blank rather than evaluating over all of them.
    bool all = !later && !cmd_bylevel;
    // A numeric variable filled in one pass over every observation skips the
    // preliminary fill with missing values; if the pass fails (Break), the
    // half-made variable is dropped, so no cell is ever left unwritten.
    const bool onepass = !v && !isstr && all;
    if (!v) {
      int rc = onepass ? addvar_uninit(names[0].c_str(), type) : addvar(names[0].c_str(), type);
      if (rc) return rc;
      v = ds.nvar;
      if (!lbl.empty()) ds.lbllist[static_cast<size_t>(v)] = lbl;
    }
    bool countout = !cmd_bylevel;
    int rc = isstr ? gen_string(v, prog, all, countout, widen, first) : gen_numeric(v, prog, all, countout);
    s_updata(v);
    if (rc && onepass) {
      std::vector<int> gone{v};
      (void)droporkeepvars(gone, false);
    }
    if (rc) return rc;
    if (lastcall() && gencounts.missing) {
      std::string m = "(";
      m += std::to_string(gencounts.missing) + " missing value" + plural_s(gencounts.missing) + " generated)\n";
      note(m);
    }
    return 0;
  };
  if (!by_wholerun()) return rungroup();
  // Under by, compiled once and run for every group in turn.
  for (size_t g = 0; g < by_ngroups(); ++g) {
    by_setgroup(g);
    if (int rc = rungroup()) return rc;
  }
  return 0;
}

namespace {

bool inttype(int t) { return t == ST_BYTE || t == ST_INT || t == ST_LONG; }

// Tries to retype v to newtype quietly; false when it failed.
bool promote_to(int v, int newtype) {
  int saved = out.s_outlev;
  out.s_outlev = 5;
  int rc = change_vartype(v, newtype);
  out.s_outlev = saved;
  return rc == 0;
}

// One numeric observation: new value d against the stored one.
void repl_one(int v, long o, double d, bool promote) {
  double old = zelta_data(v, o);
  if (sameval(d, old)) return;
  int t = vartype(v);
  if (t == ST_DOUBLE) {
    store(v, o, d);
    ++gencounts.changes;
    if (d >= misval) ++gencounts.tomissing;
    return;
  }
  store(v, o, d);
  double back = zelta_data(v, o);
  if (!sameval(back, d) && promote && !gencounts.promofail) {
    int nt = promoted_vartype(t, d);
    if (nt != t) {
      if (promote_to(v, nt)) {
        t = nt;
        store(v, o, d);
        back = zelta_data(v, o);
      } else {
        gencounts.promofail = true;
      }
    }
  }
  if (sameval(back, old)) return;
  ++gencounts.changes;
  if (d >= misval) ++gencounts.tomissing;
  if (!sameval(back, d) && inttype(t)) {
    if (back >= misval && d < misval) ++gencounts.chmissing;
    else ++gencounts.truncated;
  }
}

// Replaces the selected values of double variable v in lo..hi, counting
// the changes; `helper` marks the second thread. 0 or 1 (Break).
int repl_doubles(int v, const ExprProg& prog, long lo, long hi, long* changes, long* tomissing, bool helper) {
  alignas(64) thread_local double vals[EXPR_BLOCK];
  thread_local unsigned char sel[EXPR_BLOCK];
  for (long obs = lo; obs <= hi; obs += EXPR_BLOCK) {
    long n = std::min(EXPR_BLOCK, hi - obs + 1);
    if (helper ? stopflag != 0 : ds_pollbreak()) return 1;
    selectblock(obs, n, sel);
    evalnum_block(prog, obs, n, vals, sel);
    unsigned char* const cells = colview(v).at(obs);
    long ch = 0, tm = 0;
    for (long i = 0; i < n; ++i) {
      if (!sel[i]) continue;
      double d = vals[i], old;
      std::memcpy(&old, cells + i * 8, 8);
      if (sameval(d, old)) continue;
      std::memcpy(cells + i * 8, &d, 8);
      ++ch;
      tm += d >= misval;
    }
    *changes += ch;
    *tomissing += tm;
  }
  return 0;
}

int repl_numeric(int v, const ExprProg& prog, bool promote) {
  expr_startrun(prog);
  if (orderfree(prog) && vartype(v) == ST_DOUBLE && ds.nobs2 - ds.nobs1 + 1 >= PARGEN && !plat_onethread() &&
      threadsafe(prog) &&
      (ex.ifpgm.empty() || threadsafe(ex.ifpgm))) {
    // A double variable is never retyped: the two halves (meeting on a
    // block boundary) are independent, and their counts add up.
    const long lo = ds.nobs1, hi = ds.nobs2;
    const long mid = lo + (hi - lo + 1) / 2 / EXPR_BLOCK * EXPR_BLOCK;
    long ch1 = 0, tm1 = 0, ch2 = 0, tm2 = 0;
    int rc2 = 0;
    try {
      std::thread t([&] { rc2 = repl_doubles(v, prog, mid, hi, &ch2, &tm2, true); });
      const int rc1 = repl_doubles(v, prog, lo, mid - 1, &ch1, &tm1, false);
      t.join();
      gencounts.changes += ch1 + ch2;
      gencounts.tomissing += tm1 + tm2;
      return rc1 ? rc1 : rc2;
    } catch (const std::system_error&) {  // no second thread: the loop below
    }
  }
  if (orderfree(prog)) {
    alignas(64) static double vals[EXPR_BLOCK];
    static unsigned char sel[EXPR_BLOCK];
    for (long obs = ds.nobs1; obs <= ds.nobs2; obs += EXPR_BLOCK) {
      long n = std::min(EXPR_BLOCK, ds.nobs2 - obs + 1);
      if (ds_pollbreak()) return 1;
      selectblock(obs, n, sel);
      evalnum_block(prog, obs, n, vals, sel);
      if (vartype(v) == ST_DOUBLE) {
        // The common case without retyping: compare and write in place.
        unsigned char* const cells = colview(v).at(obs);
        long ch = 0, tm = 0;
        for (long i = 0; i < n; ++i) {
          if (!sel[i]) continue;
          double d = vals[i], old;
          std::memcpy(&old, cells + i * 8, 8);
          if (sameval(d, old)) continue;
          std::memcpy(cells + i * 8, &d, 8);
          ++ch;
          tm += d >= misval;
        }
        gencounts.changes += ch;
        gencounts.tomissing += tm;
        continue;
      }
      for (long i = 0; i < n; ++i)
        if (sel[i]) repl_one(v, obs + i, vals[i], promote);
    }
    return 0;
  }
  // Observation by observation: the expression may read values written
  // earlier in this same run.
  for (long o = ds.nobs1; o <= ds.nobs2; ++o) {
    if ((o & 1023) == 0 && ds_pollbreak()) return 1;
    if (!selobs(o)) continue;
    repl_one(v, o, evalnum(prog, o), promote);
  }
  return 0;
}

int repl_string(int v, const ExprProg& prog, bool promote) {
  std::string s, old;
  std::vector<char> buf;
  expr_startrun(prog);
  for (long o = ds.nobs1; o <= ds.nobs2; ++o) {
    if ((o & 1023) == 0 && ds_pollbreak()) return 1;
    if (!selobs(o)) continue;
    evalstr(prog, o, s);
    szelta_data(v, o, old);
    if (s == old) continue;
    int w = vartype(v);
    if (static_cast<int>(s.size()) > w && promote && !gencounts.promofail) {
      int nw = std::min<int>(static_cast<int>(s.size()), EXPR_STRMAX);
      if (promote_to(v, nw)) w = nw;
      else gencounts.promofail = true;
    }
    safe_sstore(v, o, s.c_str());
    std::string back;
    szelta_data(v, o, back);
    if (back == old) continue;
    ++gencounts.changes;
    if (back != s) ++gencounts.truncated;
  }
  return 0;
}

}  // namespace

// replace var = exp [if] [in] [, nopromote]
int cmd_replace(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .vlmode = VL_EXISTING, .exp = PERM_REQUIRED, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  if (vl.lnvar() > 1) return error(RC_TOOMANYVARS);
  if (!vl.varlist_rcp.empty() && !vl.varlist_rcp[0].plain()) return error(RC_SYNTAX);
  bool promote = interp.version >= 320;
  if (findopt(pr, "promote", 7, 1) == 0) promote = false;
  if (int rc = chkopt(pr)) return rc;
  ExprProg prog = ex.wepgm;
  const int v = vl.varlist_vr[0];
  const bool isstr = isstrtype(vartype(v));
  if ((prog.type == EXP_STR) != isstr) return error(RC_TYPEMISMATCH);
  auto rungroup = [&]() -> int {
    if (firstcall()) {
      gencounts = GenCounts{};
      gencounts.oldtype = vartype(v);
    }
    long before = gencounts.changes;
    int rc = isstr ? repl_string(v, prog, promote) : repl_numeric(v, prog, promote);
    if (gencounts.changes != before) {
      s_updata(v);
      chksort_vars({v});
    }
    if (rc) return rc;
    if (lastcall()) {
      if (vartype(v) != gencounts.oldtype) {
        std::string was = typename_of(gencounts.oldtype), now = typename_of(vartype(v));
        note(varname(v) + " was " + was + " now " + now + "\n");
      }
      std::string m = "(";
      m += std::to_string(gencounts.changes) + " real change" + plural_s(gencounts.changes) + " made";
      if (gencounts.tomissing) m += ", " + std::to_string(gencounts.tomissing) + " to missing";
      note(m + ")\n");
      if (gencounts.truncated)
        note("(" + std::to_string(gencounts.truncated) + " value" + plural_s(gencounts.truncated) +
             " truncated due to storage type)\n");
      if (gencounts.chmissing)
        note("(" + std::to_string(gencounts.chmissing) + " value" + plural_s(gencounts.chmissing) +
             " changed to missing due to storage type)\n");
      if (gencounts.promofail) return error(RC_NOROOMPROMOTE);
    }
    return 0;
  };
  if (!by_wholerun()) return rungroup();
  for (size_t g = 0; g < by_ngroups(); ++g) {
    by_setgroup(g);
    if (int rc = rungroup()) return rc;
  }
  return 0;
}
