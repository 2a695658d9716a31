// The observation evaluator: runs compiled code for one observation on fixed
// stacks (numbers, and strings of at most 244 bytes) without allocating.
// It owns the value semantics of missing values, comparisons, strings,
// observation references, running sums and by groups; the library functions
// are reached through their table rows.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "expr/exprint.h"
#include "expr/opcodes.h"

namespace {

// Function rows by opcode; filled by the compiler as it emits calls.
const FuncDef* fcache[65536];

struct SStr {
  int len;
  char b[EXPR_STRMAX + 1];
};

// Observation of the k-th observation of the current group (or dataset),
// 0 when k is missing or outside.
long groupobs(double k) {
  if (!(k < misval) || !(k > -HUGE_VAL)) return 0;
  double t = std::trunc(k);
  long first = ex.grp1 > 0 ? ex.grp1 : 1;
  long size = ex.grp1 > 0 ? ex.grp2 - ex.grp1 + 1 : ds.nobs;
  if (t < 1 || t > static_cast<double>(size)) return 0;
  return first + static_cast<long>(t) - 1;
}

void setstr(SStr& d, const char* p, size_t n) {
  if (n > EXPR_STRMAX) n = EXPR_STRMAX;
  std::memmove(d.b, p, n);
  d.len = static_cast<int>(n);
}

// The string cell of v at obs (up to the first NUL).
void strcell(int v, long obs, SStr& d) {
  const unsigned char* p = dtaptr(v, obs);
  int w = vartype(v);
  const void* z = std::memchr(p, 0, static_cast<size_t>(w));
  size_t n = z ? static_cast<size_t>(static_cast<const unsigned char*>(z) - p) : static_cast<size_t>(w);
  setstr(d, reinterpret_cast<const char*>(p), n);
}

int scmp(const SStr& a, const SStr& b) {
  int r = std::memcmp(a.b, b.b, static_cast<size_t>(std::min(a.len, b.len)));
  if (r) return r;
  return a.len < b.len ? -1 : a.len > b.len;
}

// Restarts running sums when a new pass begins: an observation at or before
// the last one summed, or a different observation range.
void sumcheck(const ExprProg& p, long obs) {
  if (obs <= p.sumlast || p.sumfrom != ds.nobs1) {
    for (double& s : p.sums) s = 0;
    p.sumfrom = ds.nobs1;
  }
  p.sumlast = obs;
}

// substr(s, pos, len) into d.
void substr_(const SStr& s, double pos, double len, SStr& d) {
  long L = s.len;
  if (!(pos < misval) || pos != pos) return void(d.len = 0);
  long p = static_cast<long>(std::trunc(std::max(std::min(pos, 1e9), -1e9)));
  if (p < 0) p = L + p + 1;
  if (p < 1 || p > L) return void(d.len = 0);
  long n = L - p + 1;
  if (len < misval && len == len) {
    double t = std::trunc(len);
    if (t < 1) return void(d.len = 0);
    if (t < static_cast<double>(n)) n = static_cast<long>(t);
  }
  std::memmove(d.b, s.b + p - 1, static_cast<size_t>(n));
  d.len = static_cast<int>(n);
}

// Runs p at obs; the result is left in *num or *str.
void run(const ExprProg& p, long obs, double* num, SStr* str) {
  double ns[EXPR_MAXDEPTH + 2];
  SStr ss[EXPR_MAXSTRS + 2];
  static std::string fout;  // library string results; keeps its capacity
  int sp = -1, tp = -1;
  int nargs = -1, argt = -1;
  const uint16_t* c = p.code.data();
  const size_t n = p.code.size();
  const bool modern = p.mvmodern;
  if (p.nsums) sumcheck(p, obs);
  for (size_t pc = 0; pc < n;) {
    const int op = c[pc++];
    int arg = 0;
    if (xo_hasoperand(op)) arg = c[pc++];
    switch (op) {
      case XO_LIT: ns[++sp] = p.lits[static_cast<size_t>(arg - 1)]; break;
      case XO_VAR: ns[++sp] = zelta_data(arg, obs); break;
      case XO_VARAT: {
        long o = groupobs(ns[sp]);
        ns[sp] = o ? zelta_data(arg, o) : misval;
        break;
      }
      case XO_TSVAR: {
        long lo = ex.grp1 > 0 ? ex.grp1 : 1, hi = ex.grp1 > 0 ? ex.grp2 : ds.nobs;
        long o = tsfind(p.tsvar, p.tspanel, obs, static_cast<long>(ns[sp]), lo, hi);
        ns[sp] = o ? zelta_data(arg, o) : misval;
        break;
      }
      case XO_N_: ns[++sp] = static_cast<double>(ex.grp1 > 0 ? obs - ex.grp1 + 1 : obs); break;
      case XO_NN_: ns[++sp] = static_cast<double>(ex.grp1 > 0 ? ex.grp2 - ex.grp1 + 1 : ds.nobs); break;
      case XO_CONS: ns[++sp] = 1; break;
      case XO_RC: ns[++sp] = exhooks.captrc(); break;
      case XO_ADD: --sp, ns[sp] = xv_add(ns[sp], ns[sp + 1]); break;
      case XO_SUB: --sp, ns[sp] = xv_sub(ns[sp], ns[sp + 1]); break;
      case XO_MUL: --sp, ns[sp] = xv_mul(ns[sp], ns[sp + 1]); break;
      case XO_DIV: --sp, ns[sp] = xv_div(ns[sp], ns[sp + 1]); break;
      case XO_POW: --sp, ns[sp] = xv_pow(ns[sp], ns[sp + 1]); break;
      case XO_NEG: ns[sp] = xv_neg(ns[sp]); break;
      case XO_NOT: ns[sp] = xv_bool(ns[sp] == 0); break;
      case XO_OR: --sp, ns[sp] = xv_bool(ns[sp] != 0 || ns[sp + 1] != 0); break;
      case XO_AND: --sp, ns[sp] = xv_bool(ns[sp] != 0 && ns[sp + 1] != 0); break;
      case XO_EQ: case XO_NE: case XO_GE: case XO_LE: case XO_LT: case XO_GT: {
        --sp;
        double a = xv_cmpop(ns[sp], modern), b = xv_cmpop(ns[sp + 1], modern);
        bool r = op == XO_EQ ? a == b : op == XO_NE ? a != b : op == XO_GE ? a >= b
               : op == XO_LE ? a <= b : op == XO_LT ? a < b : a > b;
        ns[sp] = xv_bool(r);
        break;
      }
      case XO_SLIT: {
        setstr(ss[++tp], p.pool.data() + arg, p.poollen[static_cast<size_t>(arg)]);
        break;
      }
      case XO_SVAR: strcell(arg, obs, ss[++tp]); break;
      case XO_SVARAT: {
        long o = groupobs(ns[sp--]);
        if (o) strcell(arg, o, ss[++tp]);
        else ss[++tp].len = 0;
        break;
      }
      case XO_SCAT: {
        --tp;
        SStr& a = ss[tp];
        const SStr& b = ss[tp + 1];
        int k = std::min(b.len, EXPR_STRMAX - a.len);
        std::memcpy(a.b + a.len, b.b, static_cast<size_t>(k));
        a.len += k;
        break;
      }
      case XO_SEQ: case XO_SNE: case XO_SGE: case XO_SLE: case XO_SLT: case XO_SGT: {
        tp -= 2;
        int r = scmp(ss[tp + 1], ss[tp + 2]);
        bool b = op == XO_SEQ ? r == 0 : op == XO_SNE ? r != 0 : op == XO_SGE ? r >= 0
               : op == XO_SLE ? r <= 0 : op == XO_SLT ? r < 0 : r > 0;
        ns[++sp] = xv_bool(b);
        break;
      }
      case XO_COND: {
        // Stack from the top: c, a, b[, mv].
        double cc = ns[sp], a = ns[sp - 1], b = ns[sp - 2];
        double r = (arg == 4 && cc >= misval) ? ns[sp - 3] : (cc != 0 ? a : b);
        sp -= arg - 1;
        ns[sp] = r;
        break;
      }
      case XO_SCOND: {
        double cc = ns[sp--];
        // Strings from the top: a, b[, mv].
        int pick = (arg == 4 && cc >= misval) ? 2 : (cc != 0 ? 0 : 1);
        const int from = tp - pick;
        tp -= arg - 2;  // arg - 1 strings in, one out
        if (from != tp) ss[tp] = ss[from];
        break;
      }
      case XO_STRING: {
        double x = ns[sp--];
        std::string fmt = "%9.0g";
        if (arg == 2) fmt.assign(ss[tp].b, static_cast<size_t>(ss[tp].len)), --tp;
        if (exhooks.fmtnum(x, fmt, &fout) != 0) fout.clear();
        size_t b = fout.find_first_not_of(' ');
        if (b == std::string::npos) b = fout.size();
        setstr(ss[++tp], fout.data() + b, fout.size() - b);
        break;
      }
      case XO_SUBSTR: {
        double pos = ns[sp], len = ns[sp - 1];
        sp -= 2;
        substr_(ss[tp], pos, len, ss[tp]);
        break;
      }
      case XO_INRANGE: {
        double x = ns[sp], a = ns[sp - 1], b = ns[sp - 2];
        sp -= 2;
        ns[sp] = xv_inrange(x, a, b);
        break;
      }
      case XO_SINRANGE: {
        const SStr &x = ss[tp], &a = ss[tp - 1], &b = ss[tp - 2];
        bool r = scmp(a, x) <= 0 && scmp(x, b) <= 0;
        tp -= 3;
        ns[++sp] = xv_bool(r);
        break;
      }
      case XO_INLIST: {
        double x = ns[sp];
        bool r = false;
        for (int k = 1; k < arg; ++k) r |= ns[sp - k] == x;
        sp -= arg - 1;
        ns[sp] = xv_bool(r);
        break;
      }
      case XO_SINLIST: {
        bool r = false;
        for (int k = 1; k < arg; ++k) r |= scmp(ss[tp], ss[tp - k]) == 0;
        tp -= arg;
        ns[++sp] = xv_bool(r);
        break;
      }
      case XO_MISS0: ns[++sp] = 0; break;
      case XO_MISSN: --sp, ns[sp] = xv_bool(ns[sp] != 0 || ns[sp + 1] >= misval); break;
      case XO_MISSS: ns[sp] = xv_bool(ns[sp] != 0 || ss[tp].len == 0), --tp; break;
      case XO_MISS1: break;
      case XO_SUM: {
        double v = ns[sp];
        double& acc = p.sums[arg - 2];
        if (v < misval) acc += v;
        ns[sp] = acc;
        break;
      }
      case XO_NARGS: nargs = arg; break;
      case XO_ARGT: argt = arg; break;
      case XO_FUNC: {
        const FuncDef* row = fcache[arg];
        int na = nargs >= 0 ? nargs : row->minargs;
        FuncValue av[256];
        size_t nt = std::strlen(row->argtypes);
        for (int k = 0; k < na; ++k) {
          bool isstr = argt >= 0 ? (argt >> k) & 1
                                 : (nt && row->argtypes[std::min(static_cast<size_t>(k), nt - 1)] == 's');
          if (isstr) {
            av[k].s = std::string_view(ss[tp].b, static_cast<size_t>(ss[tp].len));
            --tp;
          } else {
            av[k].d = ns[sp--];
          }
        }
        FuncCtx ctx;
        ctx.obs = obs;
        if (ex.grp1 > 0) ctx.n = obs - ex.grp1 + 1, ctx.N = ex.grp2 - ex.grp1 + 1;
        if (row->rettype == 's') {
          fout.clear();
          row->str(av, na, fout, ctx);
          setstr(ss[++tp], fout.data(), fout.size());
        } else {
          ns[++sp] = xv_fin(row->num(av, na, ctx));
        }
        nargs = argt = -1;
        break;
      }
      case XO_MATEL: {
        double j = ns[sp], i = ns[sp - 1], d = misval;
        --sp;
        if (exhooks.matel(p.pool.data() + arg, i, j, &d) != 0) d = misval;
        ns[sp] = d;
        break;
      }
      default:
        // Matrix operations are evaluated by the matrix layer; here the
        // value is missing.
        if (op == XO_MATNAME) ns[++sp] = misval;
        break;
    }
  }
  if (num) *num = sp >= 0 ? xv_fin(ns[sp]) : misval;
  if (str) {
    if (tp >= 0) *str = ss[tp];
    else str->len = 0;
  }
}

}  // namespace

const FuncDef* xf_row(int opcode) { return fcache[opcode & 0xffff]; }
void xf_remember(const FuncDef* row) { fcache[row->opcode & 0xffff] = row; }

double evalnum(const ExprProg& prog, long obs) {
  if (prog.code.empty()) return misval;
  double r;
  run(prog, obs, &r, nullptr);
  return r;
}

void evalstr(const ExprProg& prog, long obs, std::string& out) {
  if (prog.code.empty()) return out.clear();
  SStr s;
  run(prog, obs, nullptr, &s);
  out.assign(s.b, static_cast<size_t>(s.len));
}

int evalstr_n(const ExprProg& prog, long obs, char* buf) {
  if (prog.code.empty()) return buf[0] = 0, 0;
  SStr s;
  run(prog, obs, nullptr, &s);
  std::memcpy(buf, s.b, static_cast<size_t>(s.len));
  buf[s.len] = 0;
  return s.len;
}

bool selobs(long obs) {
  if (ex.ifpgm.empty()) return true;
  return evalnum(ex.ifpgm, obs) != 0;
}

void expr_startrun(const ExprProg& prog) {
  ex.touched = true;  // prog may be a standing program, no longer fresh
  for (double& s : prog.sums) s = 0;
  prog.sumlast = 0;
  prog.sumfrom = ds.nobs1;
}
