// The repeated-measures corrections of anova (see anova.h): finds the
// between-subjects term, lays each unit's responses out by the level
// combinations of the repeated variables, pools their covariance within the
// groups of the between-subjects design and derives each term's epsilons.
// Huynh-Feldt is the original formula, (N p e - 2) / (p (N - g - p e)) with
// N units, g groups and e the Greenhouse-Geisser epsilon, capped at 1.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "data/store.h"
#include "expr/expr.h"
#include "output/errors.h"
#include "output/rc.h"
#include "platform/platform.h"
#include "stats/anova.h"

namespace {

bool has(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

// All variables of a term.
std::vector<int> termvars(const AnvTerm& t) {
  std::vector<int> all = t.vars;
  all.insert(all.end(), t.within.begin(), t.within.end());
  return all;
}

// Orthonormal contrasts of k levels (k x (k-1), row-major): column j sets
// the first j levels against level j+1, scaled to unit length. Any
// orthonormal basis gives the same epsilons.
std::vector<double> contrasts(int k) {
  std::vector<double> c(static_cast<size_t>(k * (k - 1)), 0);
  for (int j = 1; j < k; ++j) {
    const double s = std::sqrt(static_cast<double>(j) * (j + 1));
    for (int i = 0; i < j; ++i) c[static_cast<size_t>(i * (k - 1) + j - 1)] = 1 / s;
    c[static_cast<size_t>(j * (k - 1) + j - 1)] = -j / s;
  }
  return c;
}

// The Kronecker product of A (ra x ca) and B (rb x cb), row-major.
std::vector<double> kron(const std::vector<double>& A, int ra, int ca, const std::vector<double>& B, int rb, int cb) {
  std::vector<double> K(static_cast<size_t>(ra * rb * ca * cb));
  const int C = ca * cb;
  for (int i = 0; i < ra; ++i)
    for (int j = 0; j < ca; ++j)
      for (int k = 0; k < rb; ++k)
        for (int l = 0; l < cb; ++l)
          K[static_cast<size_t>((i * rb + k) * C + j * cb + l)] = A[static_cast<size_t>(i * ca + j)] * B[static_cast<size_t>(k * cb + l)];
  return K;
}

}  // namespace

int anv_repeated(const AnvModel& model, const AnvFit& f, const std::vector<int>& rep, AnvRepeated& r) {
  const size_t nt = model.terms.size();
  r = AnvRepeated{};
  for (int v : rep) {
    bool in = false;
    for (const AnvTerm& t : model.terms) in = in || has(termvars(t), v);
    if (!in) return errmsgf(RC_SYNTAX, "repeated(): %s is not a variable of the terms\n", varname(v).c_str());
    if (has(model.continuous, v)) return errmsgf(RC_SYNTAX, "repeated(): %s is continuous; repeated variables are categorical\n", varname(v).c_str());
  }
  // The between-subjects term: the last error term without a repeated
  // variable, else the categorical term without one that has the most variables.
  auto candidate = [&](size_t k) {
    for (int v : termvars(model.terms[k]))
      if (has(rep, v) || has(model.continuous, v)) return false;
    return true;
  };
  for (size_t k = 0; k < nt; ++k)
    if (candidate(k) && !model.errterm.empty() && model.errterm[k] == -2) r.bse = static_cast<int>(k);
  if (r.bse < 0)
    for (size_t k = 0; k < nt; ++k)
      if (candidate(k) && (r.bse < 0 || termvars(model.terms[k]).size() >= termvars(model.terms[static_cast<size_t>(r.bse)]).size()))
        r.bse = static_cast<int>(k);
  if (r.bse < 0) return errmsgf(RC_SYNTAX, "repeated(): no term without the repeated variables identifies the subjects\n");
  const AnvTerm& bse = model.terms[static_cast<size_t>(r.bse)];
  const std::vector<int> unitvars = termvars(bse);
  for (size_t k = 0; k < nt; ++k)
    if (candidate(k) && static_cast<int>(k) != r.bse)
      for (int v : termvars(model.terms[k]))
        if (!has(bse.vars, v) && !has(r.groupvars, v)) r.groupvars.push_back(v);
  // The levels of each repeated variable, and the cells they make.
  const int y = model.ys[0];
  const long n = static_cast<long>(f.sample.size());
  std::vector<std::vector<double>> lev(rep.size());
  for (long i = 0; i < n; ++i)
    if (f.sample[static_cast<size_t>(i)])
      for (size_t j = 0; j < rep.size(); ++j) lev[j].push_back(zelta_data(rep[j], f.samplelo + i));
  int K = 1;
  std::vector<int> nlev;
  for (auto& l : lev) {
    std::sort(l.begin(), l.end());
    l.erase(std::unique(l.begin(), l.end()), l.end());
    nlev.push_back(static_cast<int>(l.size()));
    K *= static_cast<int>(l.size());
  }
  std::string repnames;
  for (int v : rep) repnames += (repnames.empty() ? "" : "*") + varname(v);
  const std::string bsename = bse.name;
  // Each unit's responses by cell, and its group.
  std::map<std::vector<double>, long> units;
  std::map<std::vector<double>, long> groups;
  std::vector<double> Y;
  std::vector<int> cnt;
  std::vector<long> ugroup;
  std::vector<std::vector<double>> ugkey;
  for (long i = 0; i < n; ++i) {
    if (!f.sample[static_cast<size_t>(i)]) continue;
    if ((i & 65535) == 0 && stopflag) return 1;
    const long obs = f.samplelo + i;
    std::vector<double> key, gkey;
    for (int v : unitvars) key.push_back(zelta_data(v, obs));
    for (int v : r.groupvars) gkey.push_back(zelta_data(v, obs));
    auto it = units.find(key);
    long u;
    if (it == units.end()) {
      u = static_cast<long>(units.size());
      units.emplace(key, u);
      Y.resize(Y.size() + static_cast<size_t>(K), 0);
      cnt.resize(cnt.size() + static_cast<size_t>(K), 0);
      auto g = groups.emplace(gkey, static_cast<long>(groups.size())).first;
      ugroup.push_back(g->second);
      ugkey.push_back(gkey);
    } else {
      u = it->second;
      if (ugkey[static_cast<size_t>(u)] != gkey)
        return errmsgf(RC_BADDATA, "repeated(): the groups of the between-subjects design vary within the units of %s\n",
                       bsename.c_str());
    }
    int c = 0;
    for (size_t j = 0; j < rep.size(); ++j) {
      const double x = zelta_data(rep[j], obs);
      c = c * nlev[j] + static_cast<int>(std::lower_bound(lev[j].begin(), lev[j].end(), x) - lev[j].begin());
    }
    const size_t at = static_cast<size_t>(u * K + c);
    Y[at] = zelta_data(y, obs);
    ++cnt[at];
  }
  for (int c : cnt)
    if (c != 1)
      return errmsgf(RC_BADDATA, "repeated(): each unit of %s must have exactly one observation at each level of %s\n",
                     bsename.c_str(), repnames.c_str());
  r.units = static_cast<long>(units.size());
  r.groups = static_cast<long>(groups.size());
  const double dfe = static_cast<double>(r.units - r.groups);
  if (dfe < 1) return errmsgf(RC_BADDATA, "repeated(): too few units of %s to estimate their covariance\n", bsename.c_str());
  // The covariance of the cells pooled within groups.
  const size_t KK = static_cast<size_t>(K);
  std::vector<double> mean(static_cast<size_t>(r.groups) * KK, 0), gn(static_cast<size_t>(r.groups), 0);
  for (long u = 0; u < r.units; ++u) {
    const size_t g = static_cast<size_t>(ugroup[static_cast<size_t>(u)]);
    gn[g] += 1;
    for (size_t c = 0; c < KK; ++c) mean[g * KK + c] += Y[static_cast<size_t>(u) * KK + c];
  }
  for (size_t g = 0; g < gn.size(); ++g)
    for (size_t c = 0; c < KK; ++c) mean[g * KK + c] /= gn[g];
  std::vector<double> S(KK * KK, 0), d(KK);
  for (long u = 0; u < r.units; ++u) {
    const size_t g = static_cast<size_t>(ugroup[static_cast<size_t>(u)]);
    for (size_t c = 0; c < KK; ++c) d[c] = Y[static_cast<size_t>(u) * KK + c] - mean[g * KK + c];
    for (size_t a = 0; a < KK; ++a)
      for (size_t b = 0; b < KK; ++b) S[a * KK + b] += d[a] * d[b];
  }
  for (double& v : S) v /= dfe;
  // Each term's epsilons from its contrasts.
  r.gg.assign(nt, misval), r.hf.assign(nt, misval), r.box.assign(nt, misval), r.repset.assign(nt, "");
  const double N = static_cast<double>(r.units), g = static_cast<double>(r.groups);
  for (size_t k = 0; k < nt; ++k) {
    const std::vector<int> tv = termvars(model.terms[k]);
    std::vector<double> P{1};
    int pr = 1, pc = 1;
    std::string set;
    for (size_t j = 0; j < rep.size(); ++j) {
      const int L = nlev[j];
      if (has(tv, rep[j])) {
        set += (set.empty() ? "" : "*") + varname(rep[j]);
        P = kron(P, pr, pc, contrasts(L), L, L - 1);
        pc *= L - 1;
      } else {
        P = kron(P, pr, pc, std::vector<double>(static_cast<size_t>(L), 1 / std::sqrt(static_cast<double>(L))), L, 1);
      }
      pr *= L;
    }
    if (set.empty() || pc < 1) continue;
    r.repset[k] = set;
    // T = P' S P (pc x pc).
    const size_t C = static_cast<size_t>(pc);
    std::vector<double> SP(KK * C, 0), T(C * C, 0);
    for (size_t a = 0; a < KK; ++a)
      for (size_t b = 0; b < KK; ++b)
        for (size_t c = 0; c < C; ++c) SP[a * C + c] += S[a * KK + b] * P[b * C + c];
    for (size_t a = 0; a < KK; ++a)
      for (size_t c = 0; c < C; ++c)
        for (size_t e = 0; e < C; ++e) T[c * C + e] += P[a * C + c] * SP[a * C + e];
    double tr = 0, tr2 = 0;
    for (size_t c = 0; c < C; ++c) tr += T[c * C + c];
    for (double v : T) tr2 += v * v;
    const double p = static_cast<double>(pc);
    const double gg = tr2 > 0 ? tr * tr / (p * tr2) : 1;
    const double den = p * (N - g - p * gg);
    double hf = den > 0 ? (N * p * gg - 2) / den : 1;
    if (hf > 1) hf = 1;
    r.gg[k] = gg, r.hf[k] = hf, r.box[k] = 1 / p;
  }
  return 0;
}
