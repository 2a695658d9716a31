// Tests of independence of two-way tables: Pearson and likelihood-ratio
// chi-squared, Cramer's V, and Fisher's exact test by enumeration of the
// tables with the observed margins (fine for the small tables it is meant
// for; a limit on the tables visited keeps large ones from running for hours).
#include "stats/twowaytests.h"

#include <boost/math/special_functions/gamma.hpp>
#include <cmath>

#include "data/value.h"
#include "output/errors.h"
#include "platform/platform.h"

double st_chi2tail(double df, double x) {
  if (!(df > 0) || ismissing(x) || ismissing(df)) return misval;
  if (x <= 0) return 1;
  return boost::math::gamma_q(df / 2, x / 2);
}

void tw_tests(const std::vector<double>& n, int r, int c, TwoWayTests& t) {
  t = TwoWayTests{};
  std::vector<double> rt(static_cast<size_t>(r), 0), ct(static_cast<size_t>(c), 0);
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      const double x = n[static_cast<size_t>(i * c + j)];
      rt[static_cast<size_t>(i)] += x;
      ct[static_cast<size_t>(j)] += x;
      t.N += x;
    }
  t.df = static_cast<double>(r - 1) * static_cast<double>(c - 1);
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      const double o = n[static_cast<size_t>(i * c + j)];
      const double e = rt[static_cast<size_t>(i)] * ct[static_cast<size_t>(j)] / t.N;
      if (e > 0) t.chi2 += (o - e) * (o - e) / e;
      if (o > 0 && e > 0) t.chi2_lr += 2 * o * std::log(o / e);
    }
  if (t.df > 0) {
    t.p = st_chi2tail(t.df, t.chi2);
    t.p_lr = st_chi2tail(t.df, t.chi2_lr);
  } else {
    t.p = t.p_lr = misval;
  }
  const int k = (r < c ? r : c) - 1;
  if (r == 2 && c == 2) {
    const double d = rt[0] * rt[1] * ct[0] * ct[1];
    t.V = d > 0 ? (n[0] * n[3] - n[1] * n[2]) / std::sqrt(d) : misval;
  } else {
    t.V = k > 0 && t.N > 0 ? std::sqrt(t.chi2 / t.N / k) : misval;
  }
}

namespace {

// Tables visited before Fisher's test gives up.
constexpr long FISHER_MAXTABLES = 50000000;

struct Enum {
  int r = 0, c = 0;
  std::vector<long> rem;      // row sums still to place
  std::vector<long> colleft;  // per column, the count still to place in it
  double base = 0;            // log of prod(r!) prod(c!) / N!
  double cut = 0;             // probabilities up to this count (observed times 1+1e-7)
  double sum = 0;             // their total
  long visited = 0;
  bool stop = false;
};

// Places column j from row i on, the partial log-probability lp so far.
void place(Enum& E, int j, int i, long left, double lp) {
  if (E.stop) return;
  if (j == E.c - 1) {
    // The last column is forced by the remaining row sums.
    double q = lp;
    for (int k = 0; k < E.r; ++k) q -= std::lgamma(static_cast<double>(E.rem[static_cast<size_t>(k)]) + 1);
    const double pr = std::exp(E.base + q);
    if (pr <= E.cut) E.sum += pr;
    if ((++E.visited & 0xfffff) == 0 && (stopflag || E.visited > FISHER_MAXTABLES)) E.stop = true;
    return;
  }
  if (i == E.r - 1) {
    long& rm = E.rem[static_cast<size_t>(i)];
    if (left > rm) return;
    rm -= left;
    place(E, j + 1, 0, E.colleft[static_cast<size_t>(j + 1)], lp - std::lgamma(static_cast<double>(left) + 1));
    rm += left;
    return;
  }
  // Rows below i can take at most the sum of their remaining row sums.
  long below = 0;
  for (int k = i + 1; k < E.r; ++k) below += E.rem[static_cast<size_t>(k)];
  long& rm = E.rem[static_cast<size_t>(i)];
  const long hi = std::min(rm, left);
  const long lo = std::max(0L, left - below);
  for (long x = lo; x <= hi && !E.stop; ++x) {
    rm -= x;
    place(E, j, i + 1, left - x, lp - std::lgamma(static_cast<double>(x) + 1));
    rm += x;
  }
}

}  // namespace

int tw_fisher(const std::vector<double>& n, int r, int c, double* p, double* p1) {
  Enum E;
  E.r = r, E.c = c;
  E.rem.assign(static_cast<size_t>(r), 0);
  E.colleft.assign(static_cast<size_t>(c), 0);
  long N = 0;
  double lobs = 0;
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      const long x = std::lround(n[static_cast<size_t>(i * c + j)]);
      E.rem[static_cast<size_t>(i)] += x;
      E.colleft[static_cast<size_t>(j)] += x;
      N += x;
      lobs -= std::lgamma(static_cast<double>(x) + 1);
    }
  E.base = -std::lgamma(static_cast<double>(N) + 1);
  for (long x : E.rem) E.base += std::lgamma(static_cast<double>(x) + 1);
  for (long x : E.colleft) E.base += std::lgamma(static_cast<double>(x) + 1);
  const double pobs = std::exp(E.base + lobs);
  E.cut = pobs * (1 + 1e-7);
  *p1 = misval;
  if (c == 1 || r == 1) {
    *p = 1;
    if (r == 2 || c == 2) *p1 = 1;
    return 0;
  }
  place(E, 0, 0, E.colleft[0], 0);
  if (E.stop) {
    if (stopflag) return 1;
    return errmsgf(RC_TOOMANYVALUES, "Fisher's exact test: more than %ld tables to enumerate\n", FISHER_MAXTABLES);
  }
  *p = std::min(1.0, E.sum);
  if (r == 2 && c == 2) {
    // Hypergeometric tail of the first cell in the direction it departs from
    // its expectation.
    const long a = std::lround(n[0]), r1 = E.rem[0], c1 = E.colleft[0];
    const double ea = static_cast<double>(r1) * static_cast<double>(c1) / static_cast<double>(N);
    const long amin = std::max(0L, r1 + c1 - N), amax = std::min(r1, c1);
    auto prob = [&](long x) {
      const double l = E.base - std::lgamma(static_cast<double>(x) + 1) -
                       std::lgamma(static_cast<double>(r1 - x) + 1) -
                       std::lgamma(static_cast<double>(c1 - x) + 1) -
                       std::lgamma(static_cast<double>(N - r1 - c1 + x) + 1);
      return std::exp(l);
    };
    double s = 0;
    if (static_cast<double>(a) >= ea)
      for (long x = a; x <= amax; ++x) s += prob(x);
    else
      for (long x = amin; x <= a; ++x) s += prob(x);
    *p1 = std::min(1.0, s);
  }
  return 0;
}
