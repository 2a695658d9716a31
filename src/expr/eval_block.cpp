// The block evaluator: runs a numeric program over up to EXPR_BLOCK
// observations at once, one operator at a time over column buffers, so the
// arithmetic vectorises and library functions use their block forms. Only
// programs the compiler marked `blockok` come here; the values are those of
// the observation evaluator (the same inline semantics), up to the accuracy
// of the block forms of the mathematical functions.
#include <cmath>
#include <cstring>
#include <vector>

#include "data/store.h"
#include "expr/expr.h"
#include "expr/exprint.h"
#include "expr/opcodes.h"

namespace {

constexpr int BDEPTH = 32;  // block stack entries (the compiler checks maxdepth)

// A block stack entry: a column of values or one constant for all.
struct Ent {
  const double* v;
  double c;
  bool k;
};

// Per thread: the fill of a large variable may run on two.
alignas(64) thread_local double bbuf[BDEPTH + 1][EXPR_BLOCK];

#define XINLINE __attribute__((always_inline)) inline

template <class F>
XINLINE void bin(Ent& a, const Ent& b, double* dst, long n, F f) {
  if (a.k && b.k) {
    a.c = f(a.c, b.c);
    return;
  }
  if (a.k) {
    const double ac = a.c, *bv = b.v;
    for (long i = 0; i < n; ++i) dst[i] = f(ac, bv[i]);
  } else if (b.k) {
    const double bc = b.c, *av = a.v;
    for (long i = 0; i < n; ++i) dst[i] = f(av[i], bc);
  } else {
    const double *av = a.v, *bv = b.v;
    for (long i = 0; i < n; ++i) dst[i] = f(av[i], bv[i]);
  }
  a.k = false;
  a.v = dst;
}

template <class F>
XINLINE void un(Ent& a, double* dst, long n, F f) {
  if (a.k) {
    a.c = f(a.c);
    return;
  }
  const double* av = a.v;
  for (long i = 0; i < n; ++i) dst[i] = f(av[i]);
  a.v = dst;
}

XINLINE double at(const Ent& e, long i) { return e.k ? e.c : e.v[i]; }

}  // namespace

void expr_gather(int v, long obs, long n, double* out) { col_decode(colview(v), obs, n, out); }

namespace {

__attribute__((target_clones("avx2", "default")))
void runblock(const ExprProg& p, long obs, long n, double* out, const unsigned char* mask) {
  Ent st[BDEPTH + 1];
  int sp = -1;
  int nargs = -1;
  const uint16_t* c = p.code.data();
  const size_t ncode = p.code.size();
  const bool modern = p.mvmodern;
  for (size_t pc = 0; pc < ncode;) {
    const int op = c[pc++];
    int arg = 0;
    if (xo_hasoperand(op)) arg = c[pc++];
    double* dst = sp >= 0 ? bbuf[sp] : bbuf[0];
    switch (op) {
      case XO_LIT: st[++sp] = Ent{nullptr, p.lits[static_cast<size_t>(arg - 1)], true}; break;
      case XO_CONS: st[++sp] = Ent{nullptr, 1.0, true}; break;
      case XO_RC: st[++sp] = Ent{nullptr, static_cast<double>(exhooks.captrc()), true}; break;
      case XO_NN_:
        st[++sp] = Ent{nullptr, static_cast<double>(ex.grp1 > 0 ? ex.grp2 - ex.grp1 + 1 : ds.nobs), true};
        break;
      case XO_N_: {
        ++sp;
        double* d = bbuf[sp];
        double base = static_cast<double>(ex.grp1 > 0 ? obs - ex.grp1 + 1 : obs);
        for (long i = 0; i < n; ++i) d[i] = base + static_cast<double>(i);
        st[sp] = Ent{d, 0, false};
        break;
      }
      case XO_VAR: {
        ++sp;
        const ColView cv = colview(arg);
        if (cv.type == ST_DOUBLE) {
          // Columns start 8-aligned: a double column is read in place (no
          // operator writes through an entry's values).
          st[sp] = Ent{reinterpret_cast<const double*>(cv.at(obs)), 0, false};
          break;
        }
        col_decode(cv, obs, n, bbuf[sp]);
        st[sp] = Ent{bbuf[sp], 0, false};
        break;
      }
      case XO_ADD: --sp, bin(st[sp], st[sp + 1], bbuf[sp], n, xv_add); break;
      case XO_SUB: --sp, bin(st[sp], st[sp + 1], bbuf[sp], n, xv_sub); break;
      case XO_MUL: --sp, bin(st[sp], st[sp + 1], bbuf[sp], n, xv_mul); break;
      case XO_DIV: --sp, bin(st[sp], st[sp + 1], bbuf[sp], n, xv_div); break;
      case XO_POW: --sp, bin(st[sp], st[sp + 1], bbuf[sp], n, xv_pow); break;
      case XO_NEG: un(st[sp], dst, n, xv_neg); break;
      case XO_NOT: un(st[sp], dst, n, [](double a) { return xv_bool(a == 0); }); break;
      case XO_OR:
        --sp, bin(st[sp], st[sp + 1], bbuf[sp], n, [](double a, double b) { return xv_bool((a != 0) | (b != 0)); });
        break;
      case XO_AND:
        --sp, bin(st[sp], st[sp + 1], bbuf[sp], n, [](double a, double b) { return xv_bool((a != 0) & (b != 0)); });
        break;
#define XCMP(OPC, EXPR)                                                                  \
  case OPC:                                                                              \
    --sp;                                                                                \
    if (modern)                                                                          \
      bin(st[sp], st[sp + 1], bbuf[sp], n, [](double a, double b) {                      \
        a = xv_cmpop(a, true), b = xv_cmpop(b, true);                                    \
        return xv_bool(EXPR);                                                            \
      });                                                                                \
    else                                                                                 \
      bin(st[sp], st[sp + 1], bbuf[sp], n, [](double a, double b) {                      \
        a = xv_cmpop(a, false), b = xv_cmpop(b, false);                                  \
        return xv_bool(EXPR);                                                            \
      });                                                                                \
    break;
      XCMP(XO_EQ, a == b)
      XCMP(XO_NE, a != b)
      XCMP(XO_GE, a >= b)
      XCMP(XO_LE, a <= b)
      XCMP(XO_LT, a < b)
      XCMP(XO_GT, a > b)
#undef XCMP
      case XO_COND: {
        Ent cc = st[sp], a = st[sp - 1], b = st[sp - 2], mv = arg == 4 ? st[sp - 3] : Ent{nullptr, 0, true};
        int base = sp - (arg - 1);
        double* d = bbuf[BDEPTH];
        for (long i = 0; i < n; ++i) {
          double x = at(cc, i);
          d[i] = (arg == 4 && x >= misval) ? at(mv, i) : (x != 0 ? at(a, i) : at(b, i));
        }
        std::memcpy(bbuf[base], d, static_cast<size_t>(n) * sizeof(double));
        sp = base;
        st[sp] = Ent{bbuf[sp], 0, false};
        break;
      }
      case XO_INRANGE: {
        Ent x = st[sp], a = st[sp - 1], b = st[sp - 2];
        sp -= 2;
        double* d = bbuf[BDEPTH];
        for (long i = 0; i < n; ++i) d[i] = xv_inrange(at(x, i), at(a, i), at(b, i));
        std::memcpy(bbuf[sp], d, static_cast<size_t>(n) * sizeof(double));
        st[sp] = Ent{bbuf[sp], 0, false};
        break;
      }
      case XO_INLIST: {
        int base = sp - (arg - 1);
        double* d = bbuf[BDEPTH];
        for (long i = 0; i < n; ++i) {
          double x = at(st[sp], i);
          bool r = false;
          for (int k = 1; k < arg; ++k) r |= at(st[sp - k], i) == x;
          d[i] = xv_bool(r);
        }
        std::memcpy(bbuf[base], d, static_cast<size_t>(n) * sizeof(double));
        sp = base;
        st[sp] = Ent{bbuf[sp], 0, false};
        break;
      }
      case XO_MISS0: st[++sp] = Ent{nullptr, 0, true}; break;
      case XO_MISSN:
        --sp, bin(st[sp], st[sp + 1], bbuf[sp], n, [](double a, double b) { return xv_bool((a != 0) | (b >= misval)); });
        break;
      case XO_MISS1: break;
      case XO_NARGS: nargs = arg; break;
      case XO_ARGT: break;  // numeric arguments only in block programs
      case XO_FUNC: {
        const FuncDef* row = xf_row(arg);
        int na = nargs >= 0 ? nargs : row->minargs;
        nargs = -1;
        int base = sp - na + 1;  // first argument is on top (st[sp])
        if (na == 1 && row->vec1 && !row->volatile_ && !st[sp].k) {
          row->vec1(st[sp].v, bbuf[sp], static_cast<size_t>(n));
          double* d = bbuf[sp];
          for (long i = 0; i < n; ++i) d[i] = xv_fin(d[i]);
          st[sp] = Ent{d, 0, false};
          break;
        }
        double* d = bbuf[BDEPTH];
        if (na == 0 && row->volatile_ && row->vec1) {
          // Successive draws, only for the observations wanted, in order:
          // drawn to the front, then spread backwards in place (a draw's
          // slot is never below its source).
          long k = n;
          if (mask) {
            k = 0;
            for (long i = 0; i < n; ++i) k += mask[i] != 0;
          }
          row->vec1(nullptr, d, static_cast<size_t>(k));
          if (mask)
            for (long i = n, j = k; i-- > 0;) d[i] = mask[i] ? d[--j] : misval;
        } else {
          FuncValue av[8];
          std::vector<FuncValue> big;
          FuncValue* a = av;
          if (na > 8) big.resize(static_cast<size_t>(na)), a = big.data();
          FuncCtx ctx;
          for (long i = 0; i < n; ++i) {
            if (row->volatile_ && mask && !mask[i]) {
              d[i] = misval;
              continue;
            }
            for (int k = 0; k < na; ++k) a[k].d = at(st[sp - k], i);
            ctx.obs = obs + i;
            if (ex.grp1 > 0) ctx.n = ctx.obs - ex.grp1 + 1, ctx.N = ex.grp2 - ex.grp1 + 1;
            d[i] = xv_fin(row->num(a, na, ctx));
          }
        }
        sp = base;
        std::memcpy(bbuf[sp], d, static_cast<size_t>(n) * sizeof(double));
        st[sp] = Ent{bbuf[sp], 0, false};
        break;
      }
      case XO_MATEL: {
        --sp;
        double* d = bbuf[BDEPTH];
        for (long i = 0; i < n; ++i) {
          double r = misval;
          if (exhooks.matel(p.pool.data() + arg, at(st[sp], i), at(st[sp + 1], i), &r) != 0) r = misval;
          d[i] = r;
        }
        std::memcpy(bbuf[sp], d, static_cast<size_t>(n) * sizeof(double));
        st[sp] = Ent{bbuf[sp], 0, false};
        break;
      }
      default:
        break;
    }
  }
  if (sp < 0) {
    for (long i = 0; i < n; ++i) out[i] = misval;
  } else if (st[sp].k) {
    double v = xv_fin(st[sp].c);
    for (long i = 0; i < n; ++i) out[i] = v;
  } else {
    const double* v = st[sp].v;
    for (long i = 0; i < n; ++i) out[i] = xv_fin(v[i]);
  }
}

}  // namespace

void evalnum_block(const ExprProg& prog, long obs, long n, double* out, const unsigned char* mask) {
  if (prog.blockok && !prog.code.empty()) return runblock(prog, obs, n, out, mask);
  for (long i = 0; i < n; ++i) out[i] = (mask && !mask[i]) ? misval : evalnum(prog, obs + i);
}

namespace {

template <class F>
XINLINE void cmpcol(const double* x, double k, long n, unsigned char* sel, bool modern, F f) {
  if (modern)
    for (long i = 0; i < n; ++i) sel[i] = f(xv_cmpop(x[i], true), k);
  else
    for (long i = 0; i < n; ++i) sel[i] = f(xv_cmpop(x[i], false), k);
}

// The commonest condition, `variable op literal`, as one pass over the
// column with the values of the general path; false for any other program.
__attribute__((target_clones("avx2", "default")))
bool selcmp(const ExprProg& p, long obs, long n, unsigned char* sel) {
  const auto& c = p.code;
  if (c.size() != 5 || c[0] != XO_VAR || c[2] != XO_LIT) return false;
  const bool modern = p.mvmodern;
  const double k = xv_cmpop(p.lits[static_cast<size_t>(c[3] - 1)], modern);
  alignas(64) thread_local double x[EXPR_BLOCK];
  switch (c[4]) {
    case XO_EQ: case XO_NE: case XO_GE: case XO_LE: case XO_LT: case XO_GT: break;
    default: return false;
  }
  const ColView cv = colview(c[1]);
  const double* xs = x;
  if (cv.type == ST_DOUBLE) xs = reinterpret_cast<const double*>(cv.at(obs));  // 8-aligned: in place
  else col_decode(cv, obs, n, x);
  switch (c[4]) {
    case XO_EQ: cmpcol(xs, k, n, sel, modern, [](double a, double b) { return a == b; }); break;
    case XO_NE: cmpcol(xs, k, n, sel, modern, [](double a, double b) { return a != b; }); break;
    case XO_GE: cmpcol(xs, k, n, sel, modern, [](double a, double b) { return a >= b; }); break;
    case XO_LE: cmpcol(xs, k, n, sel, modern, [](double a, double b) { return a <= b; }); break;
    case XO_LT: cmpcol(xs, k, n, sel, modern, [](double a, double b) { return a < b; }); break;
    default: cmpcol(xs, k, n, sel, modern, [](double a, double b) { return a > b; }); break;
  }
  return true;
}

}  // namespace

void selobs_block(long obs, long n, unsigned char* sel) {
  if (ex.ifpgm.empty()) {
    std::memset(sel, 1, static_cast<size_t>(n));
    return;
  }
  if (ex.ifpgm.blockok && selcmp(ex.ifpgm, obs, n, sel)) return;
  alignas(64) thread_local double v[EXPR_BLOCK];
  evalnum_block(ex.ifpgm, obs, n, v, nullptr);
  for (long i = 0; i < n; ++i) sel[i] = v[i] != 0;
}
