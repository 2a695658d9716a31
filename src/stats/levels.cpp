// Coding a variable's values by their rank among its distinct values (see
// levels.h). Two passes over the column: the first finds the range of the
// used values and whether they are all integers; the second writes each
// observation's slot, which a last pass over the codes turns into ranks.
// Byte, int and long columns over a plain sample make both passes over the
// cells as stored, on two threads where the data are large.
#include "stats/levels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <unordered_map>

#include <sys/mman.h>

#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "expr/expr.h"
#include "output/format.h"
#include "platform/platform.h"
#include "stats/chunks.h"
#include "stats/stats.h"

namespace {

constexpr long BLK = EXPR_BLOCK;
// Integer keys spanning at most this many values are counted by direct
// indexing; wider ones go through the hash table.
constexpr double DENSE_MAX = 1 << 24;

// Whether v is a whole number, without a call into the maths library (the
// baseline instruction set has no rounding instruction).
inline bool whole(double v) {
  constexpr double big = 4503599627370496.0;  // 2^52: every double beyond is whole
  const bool inrange = v > -big && v < big;
  const double vv = inrange ? v : 0;
  return !inrange || static_cast<double>(static_cast<int64_t>(vv)) == vv;
}

// Values of observations obs..obs+m-1 (var, or list entry e).
void gather(int var, int e, long obs, long m, double* x) {
  if (e >= 0)
    st_gather(e, obs, m, x);
  else
    expr_gather(var, obs, m, x);
}

// Whether observation lo+i is used apart from its value.
inline bool usedobs(const StSample& s, long i) {
  if (!s.sel.empty() && !s.sel[static_cast<size_t>(i)]) return false;
  if (!s.w.empty()) {
    const double w = s.w[static_cast<size_t>(i)];
    if (ismissing(w) || w == 0) return false;
  }
  return true;
}

// Observation lo+i's weight (1 without weights).
inline double wt(const StSample& s, long i) { return s.w.empty() ? 1 : s.w[static_cast<size_t>(i)]; }

// Replaces provisional level numbers by ranks: rank[p] for level p.
void recode(LvCodes* code, std::vector<double>* freq, const std::vector<int32_t>& rank) {
  if (code)
    for (int32_t& c : *code)
      if (c >= 0) c = rank[static_cast<size_t>(c)];
  if (freq) {
    std::vector<double> f(freq->size());
    for (size_t k = 0; k < rank.size(); ++k) f[static_cast<size_t>(rank[k])] = (*freq)[k];
    *freq = std::move(f);
  }
}

// Provisional level numbers in order of first appearance, sorted by less.
template <class T>
std::vector<int32_t> sortlevels(std::vector<T>& vals) {
  std::vector<int32_t> order(vals.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int32_t>(k);
  std::sort(order.begin(), order.end(),
            [&](int32_t a, int32_t b) { return vals[static_cast<size_t>(a)] < vals[static_cast<size_t>(b)]; });
  std::vector<int32_t> rank(order.size());
  std::vector<T> sorted(order.size());
  for (size_t k = 0; k < order.size(); ++k) {
    rank[static_cast<size_t>(order[k])] = static_cast<int32_t>(k);
    sorted[k] = std::move(vals[static_cast<size_t>(order[k])]);
  }
  vals = std::move(sorted);
  return rank;
}

// Levels from the counts of slots (value - mn for the range's numbers, then
// one per missing code): a slot is a level when some observation landed in
// it (hit marks those of weighted counts, as iweights may sum to 0); codes
// that hold slots become ranks.
void slotlevels(const std::vector<int64_t>& icnt, const std::vector<double>& wcnt, const std::vector<char>& hit,
                long range, double mn, Levels& lv, LvCodes* code, std::vector<double>* freq) {
  const size_t nslot = icnt.empty() ? wcnt.size() : icnt.size();
  std::vector<int32_t> slotrank(nslot, -1);
  int32_t next = 0;
  for (size_t sl = 0; sl < nslot; ++sl) {
    const double f = icnt.empty() ? wcnt[sl] : static_cast<double>(icnt[sl]);
    // a slot is a level when some observation landed in it
    if (icnt.empty() ? !hit[sl] : icnt[sl] == 0) continue;
    slotrank[sl] = next++;
    const long sll = static_cast<long>(sl);
    lv.vals.push_back(sll < range ? mn + static_cast<double>(sll) : misval_k(static_cast<int>(sll - range)));
    if (freq) freq->push_back(f);
  }
  // When every slot up to the last level is used, slots are the ranks
  // already (codes 0..k-1 or 1..k with all present, the common case).
  bool ident = true;
  for (size_t sl = 0; sl < nslot && ident; ++sl)
    ident = slotrank[sl] < 0 || slotrank[sl] == static_cast<int32_t>(sl);
  if (code && !ident)
    for (int32_t& c : *code)
      if (c >= 0) c = slotrank[static_cast<size_t>(c)];
}

// --- integer columns read in place ----------------------------------------
// A byte, int or long variable over a plain sample (no if, no weights) is
// coded from its cells as stored: no decoding to doubles and no test for
// whole numbers. The range is found by chunks of observations and the
// counts by halves, each with a table of its own (stats/chunks.h), shared
// with a helper thread where the data are large; counts are integers, so
// they do not depend on how the work was shared.

// Slot tables of up to this many entries are kept in four interleaved
// copies, so that runs of one value do not wait on their own increments.
constexpr size_t WAYS_MAX = 256;
// Slot tables of more entries than this are filled on one thread.
constexpr size_t PAR_SLOTS = size_t{1} << 20;

// The smallest and largest of the cells p[0..m-1] at most top (the others
// are the missing codes), folded into mn and mx.
template <class I>
void intrange(const I* p, long m, I top, int64_t& mn, int64_t& mx) {
  // The missing codes lie above every value: they cannot be the smallest
  // unless all cells are missing, when a > top tells.
  I a = std::numeric_limits<I>::max(), b = std::numeric_limits<I>::min();
  for (long k = 0; k < m; ++k) {
    const I v = p[k];
    // v, or the type's least for a missing code, written as masks so that
    // the loop stays a pair of vectorised reductions
    const I keep = static_cast<I>(-static_cast<I>(v <= top));
    const I w = static_cast<I>((v & keep) | (std::numeric_limits<I>::min() & ~keep));
    a = std::min(a, v);
    b = std::max(b, w);
  }
  if (a > top) return;
  mn = std::min<int64_t>(mn, a), mx = std::max<int64_t>(mx, b);
}

// Counts the cells p[0..m-1] into their slots: v - mn for values, range +
// the missing code for missing values when `missing`, else slot trash (not a
// level). The k-th cell goes to copy k % W of the table (copies stride
// apart); c, when given, receives each cell's slot or -1.
template <class I, int W>
void intcount(const I* p, long m, I top, int64_t mn, uint32_t range, bool missing, uint32_t trash, uint32_t* tab,
              size_t stride, int32_t* c) {
  const uint32_t mbase = missing ? range - static_cast<uint32_t>(top) - 1 : 0;
  for (long k = 0; k < m; ++k) {
    const I v = p[k];
    uint32_t sl;
    if (v <= top)
      sl = static_cast<uint32_t>(static_cast<int64_t>(v) - mn);
    else
      sl = missing ? mbase + static_cast<uint32_t>(v) : trash;
    ++tab[static_cast<size_t>(k % W) * stride + sl];
    if (c) c[k] = sl == trash ? -1 : static_cast<int32_t>(sl);
  }
}

// The integer path for cells of type I; false (nothing done) when the used
// values span too many slots for direct counting. *rc receives 0 or 1
// (Break).
template <class I>
bool codeints(int var, const StSample& s, bool missing, I top, Levels& lv, LvCodes* code,
              std::vector<double>* freq, int* rc) {
  const ColView cv = colview(var);
  const I* base = reinterpret_cast<const I*>(cv.at(s.lo));
  // Pass 1: the range of the values, chunk by chunk.
  const long nk = st_nchunks(s.lo, s.hi);
  std::vector<int64_t> kmn(static_cast<size_t>(nk), INT64_MAX), kmx(static_cast<size_t>(nk), INT64_MIN);
  *rc = st_chunks(s.lo, s.hi, st_parmin(1), [&](long k, long c0, long c1) {
    for (long o = c0; o <= c1; o += BLK) {
      if (stopflag) return 1;
      intrange(base + (o - s.lo), std::min(BLK, c1 - o + 1), top, kmn[static_cast<size_t>(k)],
               kmx[static_cast<size_t>(k)]);
    }
    return 0;
  });
  if (*rc) return true;
  const int64_t mn = *std::min_element(kmn.begin(), kmn.end()), mx = *std::max_element(kmx.begin(), kmx.end());
  const bool any = mn <= mx;
  if (any && static_cast<double>(mx - mn) >= DENSE_MAX) return false;
  // Pass 2: counts, one table per half of the range (stats/chunks.h).
  const uint32_t range = any ? static_cast<uint32_t>(mx - mn + 1) : 0;
  const uint32_t trash = range + 27;
  const size_t stride = static_cast<size_t>(trash) + 1;
  const int ways = stride <= WAYS_MAX ? 4 : 1;
  const bool threads = stride <= PAR_SLOTS;
  const size_t per = static_cast<size_t>(ways) * stride;
  std::vector<uint32_t> tab(per * static_cast<size_t>(threads ? st_nhalves(s.lo, s.hi) : 1), 0);
  auto count = [&](long part, long c0, long c1) {
    uint32_t* t = tab.data() + (threads ? static_cast<size_t>(part) * per : 0);
    for (long o = c0; o <= c1; o += BLK) {
      if (stopflag) return 1;
      const long m = std::min(BLK, c1 - o + 1);
      const I* p = base + (o - s.lo);
      int32_t* c = code ? code->data() + (o - s.lo) : nullptr;
      if (ways == 4)
        intcount<I, 4>(p, m, top, mn, range, missing, trash, t, stride, c);
      else
        intcount<I, 1>(p, m, top, mn, range, missing, trash, t, stride, c);
    }
    return 0;
  };
  *rc = threads ? st_halves(s.lo, s.hi, true, count) : count(0, s.lo, s.hi);
  if (*rc) return true;
  std::vector<int64_t> icnt(static_cast<size_t>(trash), 0);
  for (size_t part = 0; part < tab.size(); part += stride)
    for (size_t sl = 0; sl < icnt.size(); ++sl) icnt[sl] += tab[part + sl];
  slotlevels(icnt, {}, {}, static_cast<long>(range), static_cast<double>(mn), lv, code, freq);
  return true;
}

int codestr(int var, const StSample& s, bool missing, Levels& lv, LvCodes* code,
            std::vector<double>* freq) {
  lv.isstr = true;
  const long n = s.hi >= s.lo ? s.hi - s.lo + 1 : 0;
  std::unordered_map<std::string, int32_t> seen;
  std::string t;
  for (long i = 0; i < n; ++i) {
    if ((i & 0xffff) == 0 && stopflag) return 1;
    if (!usedobs(s, i)) continue;
    szelta_data(var, s.lo + i, t);
    if (t.empty() && !missing) continue;
    auto [it, fresh] = seen.emplace(t, static_cast<int32_t>(lv.svals.size()));
    if (fresh) {
      lv.svals.push_back(t);
      if (freq) freq->push_back(0);
    }
    if (code) (*code)[static_cast<size_t>(i)] = it->second;
    if (freq) (*freq)[static_cast<size_t>(it->second)] += wt(s, i);
  }
  recode(code, freq, sortlevels(lv.svals));
  return 0;
}

}  // namespace

void* st_bigalloc(size_t bytes) {
  constexpr size_t huge = size_t{2} << 20;
  if (bytes < (size_t{8} << 20)) return std::malloc(bytes ? bytes : 1);
  const size_t b = (bytes + huge - 1) / huge * huge;
  void* m = ::mmap(nullptr, b, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (m == MAP_FAILED) return nullptr;
  (void)::madvise(m, b, MADV_HUGEPAGE);
  return m;
}

void st_bigfree(void* p, size_t bytes) {
  constexpr size_t huge = size_t{2} << 20;
  if (!p) return;
  if (bytes < (size_t{8} << 20)) {
    std::free(p);
    return;
  }
  ::munmap(p, (bytes + huge - 1) / huge * huge);
}

int lv_code(int var, int e, const StSample& s, bool missing, Levels& lv, LvCodes* code,
            std::vector<double>* freq) {
  const long n = s.hi >= s.lo ? s.hi - s.lo + 1 : 0;
  lv = Levels{};
  if (code) code->assign(static_cast<size_t>(n), -1);
  if (freq) freq->clear();
  if (isstrtype(vartype(var))) return codestr(var, s, missing, lv, code, freq);
  const bool plainsel = s.sel.empty() && s.w.empty();
  if (plainsel && n > 0 && (e < 0 || (st_plainentry(e) && vl.varlist_vr[static_cast<size_t>(e)] == var))) {
    int rc = 0;
    bool done = false;
    switch (vartype(var)) {
      case ST_BYTE: done = codeints<int8_t>(var, s, missing, MAXBYTEVAL, lv, code, freq, &rc); break;
      case ST_INT: done = codeints<int16_t>(var, s, missing, MAXINTVAL, lv, code, freq, &rc); break;
      case ST_LONG: done = codeints<int32_t>(var, s, missing, MAXLONGVAL, lv, code, freq, &rc); break;
      default: break;
    }
    if (done) return rc;
  }
  double x[BLK];
  // Pass 1: range of the used non-missing values, all integers?
  double mn = HUGE_VAL, mx = -HUGE_VAL;
  bool allint = true;
  for (long o = 0; o < n; o += BLK) {
    if (stopflag) return 1;
    const long m = std::min(BLK, n - o);
    gather(var, e, s.lo + o, m, x);
    if (plainsel) {
      double a = mn, b = mx;
      bool in = true;
      for (long k = 0; k < m; ++k) {
        const double v = x[k];
        if (v < misval) {
          a = v < a ? v : a;
          b = v > b ? v : b;
          in &= whole(v);
        }
      }
      mn = a, mx = b, allint = allint && in;
      continue;
    }
    for (long k = 0; k < m; ++k) {
      const double v = x[k];
      if (v >= misval || !usedobs(s, o + k)) continue;
      mn = std::min(mn, v), mx = std::max(mx, v);
      allint = allint && whole(v);
    }
  }
  const bool any = mn <= mx;
  const bool dense = !any || (allint && mx - mn < DENSE_MAX);
  if (dense) {
    // Slots: value - mn for numbers, then one per missing code; each slot's
    // count (unweighted counts stay integers until the end).
    const long range = any ? static_cast<long>(mx - mn) + 1 : 0;
    const size_t nslot = static_cast<size_t>(range + 27);
    std::vector<int64_t> icnt;
    std::vector<double> wcnt;
    std::vector<char> hit;  // weighted: the slot was used (iweights may sum to 0)
    if (s.w.empty()) {
      icnt.assign(nslot, 0);
    } else {
      wcnt.assign(nslot, 0);
      hit.assign(nslot, 0);
    }
    for (long o = 0; o < n; o += BLK) {
      if (stopflag) return 1;
      const long m = std::min(BLK, n - o);
      gather(var, e, s.lo + o, m, x);
      int32_t* c = code ? code->data() + o : nullptr;
      if (plainsel && !missing) {
        int64_t* ic = icnt.data();
        if (c) {
          for (long k = 0; k < m; ++k) {
            const double v = x[k];
            if (v < misval) {
              const int32_t sl = static_cast<int32_t>(v - mn);
              c[k] = sl;
              ++ic[sl];
            }
          }
        } else {
          for (long k = 0; k < m; ++k) {
            const double v = x[k];
            if (v < misval) ++ic[static_cast<int32_t>(v - mn)];
          }
        }
        continue;
      }
      for (long k = 0; k < m; ++k) {
        const double v = x[k];
        if (!usedobs(s, o + k)) continue;
        int32_t sl;
        if (v < misval)
          sl = static_cast<int32_t>(v - mn);
        else if (missing)
          sl = static_cast<int32_t>(range + missing_code(v));
        else
          continue;
        if (c) c[k] = sl;
        if (icnt.empty()) {
          wcnt[static_cast<size_t>(sl)] += wt(s, o + k);
          hit[static_cast<size_t>(sl)] = 1;
        } else
          ++icnt[static_cast<size_t>(sl)];
      }
    }
    slotlevels(icnt, wcnt, hit, range, mn, lv, code, freq);
    return 0;
  }
  // Hash path: provisional levels in order of first appearance.
  std::unordered_map<double, int32_t> seen;
  for (long o = 0; o < n; o += BLK) {
    if (stopflag) return 1;
    const long m = std::min(BLK, n - o);
    gather(var, e, s.lo + o, m, x);
    for (long k = 0; k < m; ++k) {
      const double v = x[k];
      if ((v >= misval && !missing) || !usedobs(s, o + k)) continue;
      auto [it, fresh] = seen.emplace(v, static_cast<int32_t>(lv.vals.size()));
      if (fresh) {
        lv.vals.push_back(v);
        if (freq) freq->push_back(0);
      }
      if (code) (*code)[static_cast<size_t>(o + k)] = it->second;
      if (freq) (*freq)[static_cast<size_t>(it->second)] += wt(s, o + k);
    }
  }
  recode(code, freq, sortlevels(lv.vals));
  return 0;
}

std::string lv_text(const Levels& lv, int k, int var, bool nolabel) {
  if (lv.isstr) return lv.svals[static_cast<size_t>(k)];
  const double v = lv.vals[static_cast<size_t>(k)];
  std::string t;
  if (!nolabel && var > 0 && vlvartext(var, v, t)) return t;
  t = sreforms("%9.0g", v);
  const size_t a = t.find_first_not_of(' ');
  return a == std::string::npos ? t : t.substr(a);
}

int lv_groups(const std::vector<int>& vars, const StSample& s, LvCodes& code, int* ngroups,
              std::vector<long>* first) {
  // The selection alone decides which observations belong; weights do not.
  StSample sel;
  sel.lo = s.lo, sel.hi = s.hi, sel.sel = s.sel;
  const long n = s.hi >= s.lo ? s.hi - s.lo + 1 : 0;
  Levels lv;
  if (int rc = lv_code(vars[0], -1, sel, true, lv, &code)) return rc;
  int64_t span = lv.n();
  if (vars.size() == 1) {
    // one variable: its level ranks are the group numbers already
    *ngroups = lv.n();
    if (first) {
      first->assign(static_cast<size_t>(lv.n()), -1);
      int left = lv.n();
      for (long i = 0; i < n && left > 0; ++i) {
        const int32_t c = code[static_cast<size_t>(i)];
        if (c >= 0 && (*first)[static_cast<size_t>(c)] < 0) (*first)[static_cast<size_t>(c)] = i, --left;
      }
    }
    return 0;
  }
  LvCodes c2;
  std::vector<int64_t> key;  // combined codes once they outgrow 32 bits
  for (size_t v = 1; v < vars.size(); ++v) {
    if (int rc = lv_code(vars[v], -1, sel, true, lv, &c2)) return rc;
    const int64_t k = lv.n();
    // Combined codes keep the lexicographic order of the level ranks; they
    // are made dense again whenever the span grows large.
    if (span * k <= (int64_t{1} << 24)) {
      for (long i = 0; i < n; ++i) {
        int32_t& c = code[static_cast<size_t>(i)];
        if (c >= 0) c = static_cast<int32_t>(c * k + c2[static_cast<size_t>(i)]);
      }
      span *= k;
    } else {
      key.assign(static_cast<size_t>(n), -1);
      for (long i = 0; i < n; ++i) {
        const int32_t c = code[static_cast<size_t>(i)];
        if (c >= 0) key[static_cast<size_t>(i)] = static_cast<int64_t>(c) * k + c2[static_cast<size_t>(i)];
      }
      std::vector<int64_t> u;
      for (int64_t x : key)
        if (x >= 0) u.push_back(x);
      std::sort(u.begin(), u.end());
      u.erase(std::unique(u.begin(), u.end()), u.end());
      for (long i = 0; i < n; ++i) {
        const int64_t x = key[static_cast<size_t>(i)];
        code[static_cast<size_t>(i)] =
            x < 0 ? -1 : static_cast<int32_t>(std::lower_bound(u.begin(), u.end(), x) - u.begin());
      }
      span = static_cast<int64_t>(u.size());
    }
    if (stopflag) return 1;
  }
  // Dense renumbering of the groups that occur.
  std::vector<int32_t> rank(static_cast<size_t>(span), -1);
  for (int32_t c : code)
    if (c >= 0) rank[static_cast<size_t>(c)] = 0;
  int32_t next = 0;
  for (int32_t& r : rank)
    if (r == 0) r = next++;
  if (first) first->assign(static_cast<size_t>(next), -1);
  for (long i = 0; i < n; ++i) {
    int32_t& c = code[static_cast<size_t>(i)];
    if (c < 0) continue;
    c = rank[static_cast<size_t>(c)];
    if (first && (*first)[static_cast<size_t>(c)] < 0) (*first)[static_cast<size_t>(c)] = i;
  }
  *ngroups = next;
  return 0;
}
