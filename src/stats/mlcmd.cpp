// The command side shared by the likelihood estimators: their common
// options, the reading of the sample into the engine's columns, the
// collinearity notes, the iteration log, the robust and cluster variance
// through the engine's sandwich, e() posting, and the header and table that
// fitting and replay print.
#include "stats/mlcmd.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/etable.h"
#include "stats/mlsession.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// The variable named by an option's argument; 0 when absent, negative code.
int optvar(ParseResult& pr, const char* name, int min, int* var) {
  std::string a;
  *var = 0;
  if (!findargn(pr, name, min, a, 64, 1)) return 0;
  if (a.empty()) return errmsgf(RC_SYNTAX, "option %s() invalid\n", name);
  const int v = zelta_findvar(a.c_str(), 1, false);
  if (v < 0) return -v;
  if (isstrtype(vartype(v))) return errmsgf(RC_TYPEMISMATCH, "%s() variable %s must be numeric\n", name, varname(v).c_str());
  *var = v;
  return 0;
}

// A number under %10.0g without its leading blanks.
std::string shownum(double v) {
  const char* p = sreforms("%10.0g", v);
  while (*p == ' ') ++p;
  return p;
}

}  // namespace

int mlc_vceopts(ParseResult& pr, MlcOpts& o) {
  o.robust = findopt(pr, "robust", 3, 0) == 1;
  return optvar(pr, "cluster", 2, &o.clustvar);
}

void mlc_clusternote() {
  const double ncl = st_escalarget("N_clust");
  if (!(ncl < misval)) return;
  char b[32];
  std::snprintf(b, sizeof b, "%.0f", ncl);
  spoutsml((std::string("{txt}{col 21}(Std. Err. adjusted for {res}") + b + "{txt} clusters in ").c_str());
  spout21(st_elocalget("clustvar").c_str());
  spoutsml(")\n");
}

void mlc_reorder(MlcSample& s, const std::vector<size_t>& perm) {
  auto apply = [&](auto& v) {
    if (v.empty()) return;
    auto c = v;
    for (size_t i = 0; i < perm.size(); ++i) v[i] = c[perm[i]];
  };
  apply(s.obs);
  apply(s.d.y);
  for (auto& c : s.d.x) apply(c);
  apply(s.d.w);
  apply(s.d.off);
  apply(s.d.clust);
}

int mlc_options(ParseResult& pr, MlcOpts& o, bool offset, bool exposure) {
  o.nocons = findopt(pr, "constant", 5, 1) == 0;
  o.nolog = findopt(pr, "log", 3, 1) == 0;
  if (int rc = mlc_vceopts(pr, o)) return rc;
  if (offset)
    if (int rc = optvar(pr, "offset", 3, &o.offvar)) return rc;
  if (exposure)
    if (int rc = optvar(pr, "exposure", 3, &o.expvar)) return rc;
  if (o.offvar && o.expvar) return errmsgf(RC_SYNTAX, "options offset() and exposure() may not be combined\n");
  if (int rc = st_level(pr, &o.level)) return rc;
  double v[1];
  if (findoptv(pr, "iterate", 4, v, 1, 0) == 1) {
    if (!(v[0] >= 0 && v[0] <= 16000) || v[0] != std::floor(v[0]))
      return errmsgf(RC_SYNTAX, "iterate() must be an integer between 0 and 16000\n");
    o.ml.maxiter = static_cast<int>(v[0]);
  }
  if (findoptv(pr, "tolerance", 3, v, 1, 0) == 1) {
    if (!(v[0] >= 0 && v[0] < 1)) return errmsgf(RC_SYNTAX, "tolerance() must be between 0 and 1\n");
    o.ml.ltol = v[0];
  }
  if (findoptv(pr, "gtolerance", 4, v, 1, 0) == 1) {
    if (!(v[0] >= 0 && v[0] < 1)) return errmsgf(RC_SYNTAX, "gtolerance() must be between 0 and 1\n");
    o.ml.nrtol = v[0];
  }
  return 0;
}

namespace {

constexpr size_t POOLMAX = 24;

// A cleared column with room for cap values: the roomiest pooled one when
// it is large enough.
std::vector<double> column(size_t cap) {
  std::vector<double> c;
  if (!mls.pool.empty()) {
    auto best = std::max_element(mls.pool.begin(), mls.pool.end(),
                                 [](const auto& a, const auto& b) { return a.capacity() < b.capacity(); });
    if (best->capacity() >= cap) {
      c = std::move(*best);
      mls.pool.erase(best);
      c.clear();
    }
  }
  c.reserve(cap);
  return c;
}

void giveback(std::vector<double>& c) {
  if (c.capacity() >= 4096 && mls.pool.size() < POOLMAX) mls.pool.push_back(std::move(c));
}

}  // namespace

MlcSample::~MlcSample() {
  for (auto& c : d.x) giveback(c);
  giveback(d.y);
  giveback(d.w);
  giveback(d.off);
  giveback(d.clust);
}

int mlc_read(ParseResult& pr, const MlcOpts& o, MlcSample& s) {
  if (o.clustvar && pr.hasweight && pr.wgttype[0] == WK_I) return error(RC_MSG_IWROBUST);
  const int nv = vl.lnvar();
  if (nv < 1) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  for (int j = 0; j < nv; ++j) {
    const int v = vl.varlist_vr[static_cast<size_t>(j)];
    if (isstrtype(vartype(v)))
      return errmsgf(RC_TYPEMISMATCH, "string variables not allowed in varlist;\n%s is a string variable\n", varname(v).c_str());
  }
  if (pr.hasweight && pr.wgttype[0] == WK_A && !o.aweights) return errmsgf(RC_NOTALLOWED, "aweights not allowed\n");
  StSample ss;
  if (int rc = st_sample(ss, pr)) return rc;
  s.lo = ss.lo;
  s.hi = ss.hi;
  s.wkind = ss.wkind == 'w' ? static_cast<char>(WK_F) : ss.wkind;
  s.wexp = ss.wexp;
  s.depname = st_entryname(0);
  s.names.clear();
  for (int j = 1; j < nv; ++j) s.names.push_back(st_entryname(j));
  MlData& d = s.d;
  d = MlData{};
  d.x.assign(static_cast<size_t>(nv - 1), {});
  // Room for the whole range at once: no regrowing of the columns.
  const size_t cap = static_cast<size_t>(ss.hi >= ss.lo ? ss.hi - ss.lo + 1 : 0);
  s.obs.reserve(cap);
  d.y = column(cap);
  for (auto& c : d.x) c = column(cap);
  if (ss.wkind) d.w = column(cap);
  if (o.offvar || o.expvar) d.off = column(cap);
  if (o.clustvar) d.clust = column(cap);
  std::vector<double> col(EXPR_BLOCK);
  std::vector<std::vector<double>> blk(static_cast<size_t>(nv), std::vector<double>(EXPR_BLOCK));
  std::vector<unsigned char> use(EXPR_BLOCK);
  for (long obs = ss.lo; obs <= ss.hi; obs += EXPR_BLOCK) {
    if (stopflag) return 1;
    const long m = std::min<long>(EXPR_BLOCK, ss.hi - obs + 1);
    for (int j = 0; j < nv; ++j) st_gather(j, obs, m, blk[static_cast<size_t>(j)].data());
    for (long i = 0; i < m; ++i) {
      const long ob = obs + i;
      bool u = ss.selected(ob);
      for (int j = 0; u && j < nv; ++j) u = blk[static_cast<size_t>(j)][static_cast<size_t>(i)] < misval;
      double off = 0;
      if (u && o.clustvar) u = zelta_data(o.clustvar, ob) < misval;
      if (u && o.offvar) {
        off = zelta_data(o.offvar, ob);
        u = off < misval;
      }
      if (u && o.expvar) {
        const double e = zelta_data(o.expvar, ob);
        u = e < misval;
        if (u && e <= 0) return errmsgf(RC_NONPOSITIVE, "%s has nonpositive values\n", varname(o.expvar).c_str());
        off = std::log(e);
      }
      double wk = 1;
      if (u && ss.wkind) {
        wk = ss.w[static_cast<size_t>(ob - ss.lo)];
        if (int rc = st_checkweight(s.wkind, wk, &u)) return rc;
      }
      if (!u) continue;
      s.obs.push_back(ob);
      d.y.push_back(blk[0][static_cast<size_t>(i)]);
      for (int j = 1; j < nv; ++j) d.x[static_cast<size_t>(j - 1)].push_back(blk[static_cast<size_t>(j)][static_cast<size_t>(i)]);
      if (ss.wkind) d.w.push_back(wk);
      if (o.offvar || o.expvar) d.off.push_back(off);
      if (o.clustvar) d.clust.push_back(zelta_data(o.clustvar, ob));
    }
  }
  d.n = static_cast<long>(s.obs.size());
  if (d.n == 0) return st_noobs();
  if (o.clustvar) {
    std::vector<double> c = d.clust;
    std::sort(c.begin(), c.end());
    if (std::unique(c.begin(), c.end()) - c.begin() < 2)
      return errmsgf(RC_GROUPCOUNT, "only one cluster in sample; cluster() needs two or more\n");
  }
  return 0;
}

void mlc_keeprows(MlcSample& s, const std::vector<unsigned char>& keep) {
  MlData& d = s.d;
  size_t k = 0;
  for (size_t i = 0; i < static_cast<size_t>(d.n); ++i) {
    if (!keep[i]) continue;
    s.obs[k] = s.obs[i];
    d.y[k] = d.y[i];
    for (auto& c : d.x) c[k] = c[i];
    if (!d.w.empty()) d.w[k] = d.w[i];
    if (!d.off.empty()) d.off[k] = d.off[i];
    if (!d.clust.empty()) d.clust[k] = d.clust[i];
    ++k;
  }
  s.obs.resize(k);
  d.y.resize(k);
  for (auto& c : d.x) c.resize(k);
  if (!d.w.empty()) d.w.resize(k);
  if (!d.off.empty()) d.off.resize(k);
  if (!d.clust.empty()) d.clust.resize(k);
  d.n = static_cast<long>(k);
}

void mlc_dropcollinear(const std::vector<std::vector<double>>& cols, const std::vector<std::string>& names, long n,
                       const double* w, bool cons, std::vector<unsigned char>& dropped) {
  const size_t k = cols.size();
  if (dropped.size() != k) dropped.assign(k, 0);
  std::vector<const double*> live;
  std::vector<size_t> at;
  for (size_t j = 0; j < k; ++j)
    if (!dropped[j]) {
      live.push_back(cols[j].data());
      at.push_back(j);
    }
  std::vector<unsigned char> keep;
  ml_collinear(live, n, w, cons, keep);
  for (size_t a = 0; a < at.size(); ++a)
    if (!keep[a]) {
      dropped[at[a]] = 1;
      st_note("note: " + names[at[a]] + " dropped because of collinearity\n");
    }
}

void mlc_rmcoll(MlcSample& s, bool cons, std::vector<unsigned char>& dropped) {
  mlc_dropcollinear(s.d.x, s.names, s.d.n, s.d.w.empty() ? nullptr : s.d.w.data(), cons, dropped);
}

std::function<void(int, double, const char*)> mlc_logger(const MlcOpts& o) {
  if (o.nolog) return {};
  return [](int iter, double ll, const char* note) {
    char b[64];
    std::snprintf(b, sizeof b, "Iteration %d:", iter);
    std::string l = "{txt}";
    l += b;
    l.append(std::max<size_t>(1, 15 - std::strlen(b)), ' ');
    l += "log likelihood = {res}";
    std::snprintf(b, sizeof b, "%.8g", ll);
    l += b;
    if (note && *note) l += std::string("  {txt}") + note;
    spoutsml((l + "\n").c_str());
  };
}

int mlc_variance(const MlModel& m, const MlcSample& s, const MlcOpts& o, const std::vector<double>& b,
                 std::vector<double>& V, MlcFit& f) {
  const bool pw = s.wkind == WK_P;
  if (!o.robust && !o.clustvar && !pw) return 0;
  std::vector<double> sc;
  double ll;
  if (int rc = ml_eval(m, s.d, b, 1, &ll, nullptr, nullptr, &sc)) return rc == ML_BREAK ? 1 : RC_NOCONVERGE;
  const int P = m.nparam();
  f.nclust = ml_robust(V, P, s.d.n, sc, s.wkind == WK_F ? s.d.w.data() : nullptr,
                       o.clustvar ? s.d.clust.data() : nullptr);
  return 0;
}

void mlc_coefs(MlcFit& f, const MlcSample& s, const std::vector<unsigned char>& dropped, bool cons,
               const std::string& eq0, const std::vector<std::string>& extra, const std::vector<double>& b,
               const std::vector<double>& V) {
  const size_t k = s.names.size();
  const std::string pre = eq0.empty() ? "" : eq0 + ":";
  std::vector<int> pos;
  f.names.clear();
  for (size_t j = 0; j < k; ++j) {
    f.names.push_back(pre + s.names[j]);
    if (!dropped[j]) pos.push_back(static_cast<int>(j));
  }
  if (cons) {
    pos.push_back(static_cast<int>(f.names.size()));
    f.names.push_back(pre + "_cons");
  }
  for (const std::string& e : extra) {
    pos.push_back(static_cast<int>(f.names.size()));
    f.names.push_back(e);
  }
  const size_t pp = f.names.size();
  const size_t P = pos.size();
  f.b.assign(pp, 0);
  f.V.assign(pp * pp, 0);
  for (size_t a = 0; a < P; ++a) {
    const size_t ra = static_cast<size_t>(pos[a]);
    f.b[ra] = b[a];
    for (size_t c = 0; c < P; ++c) f.V[ra * pp + static_cast<size_t>(pos[c])] = V[a * P + c];
  }
}

void mlc_chi2(MlcFit& f, int nslope, const std::vector<double>& b, const std::vector<double>& V, int P) {
  f.df_m = nslope;
  if (f.wald) {
    std::vector<int> which;
    for (int j = 0; j < nslope; ++j) which.push_back(j);
    f.chi2 = nslope > 0 ? ml_wald(b, V, P, which) : 0;
    return;
  }
  f.chi2 = f.ll_0 < misval ? 2 * (f.ll - f.ll_0) : misval;
  if (f.chi2 < 0 && f.chi2 > -1e-9) f.chi2 = 0;
}

void mlc_esample(const MlcSample& s) {
  std::vector<unsigned char> mark(static_cast<size_t>(s.hi >= s.lo ? s.hi - s.lo + 1 : 0), 0);
  for (long ob : s.obs) mark[static_cast<size_t>(ob - s.lo)] = 1;
  st_esample(mark, s.lo);
}

void mlc_post(const MlcFit& f, const MlcSample& s, const MlcOpts& o) {
  // The variables' names first: clearing e() drops the previous estimation's
  // sample marker, which renumbers the variables made after it.
  const std::string clustname = o.clustvar ? varname(o.clustvar) : "";
  const std::string offname = o.offvar ? varname(o.offvar) : "", expname = o.expvar ? varname(o.expvar) : "";
  st_eclear();
  st_escalar("N", f.N);
  st_escalar("ll", f.ll);
  if (f.ll_0 < misval) st_escalar("ll_0", f.ll_0);
  st_escalar("k", f.k);
  st_escalar("df_m", f.df_m);
  st_escalar("chi2", f.chi2);
  st_escalar("p", ml_chi2tail(f.df_m, f.chi2));
  if (f.ll_0 < misval && f.ll_0 != 0) st_escalar("r2_p", 1 - f.ll / f.ll_0);
  st_escalar("ic", f.ic);
  st_escalar("converged", f.converged ? 1 : 0);
  st_escalar("rc", f.converged ? 0 : 430);
  if (o.clustvar) {
    st_escalar("N_clust", static_cast<double>(f.nclust));
    st_elocal("clustvar", clustname.c_str());
  }
  for (const auto& [n, v] : f.scalars) st_escalar(n.c_str(), v);
  st_elocal("cmd", f.cmd.c_str());
  st_elocal("title", f.title.c_str());
  st_elocal("depvar", s.depname.c_str());
  st_elocal("chi2type", f.wald ? "Wald" : "LR");
  std::string vt = o.clustvar || o.robust || s.wkind == WK_P ? "Robust" : "";
  st_elocal("vcetype", vt.c_str());
  st_elocal("vce", o.clustvar ? "cluster" : vt.empty() ? "oim" : "robust");
  if (s.wkind) {
    std::string wt = std::string(1, s.wkind) + "weight";
    st_elocal("wtype", wt.c_str());
    st_elocal("wexp", ("= " + s.wexp).c_str());
  }
  if (o.offvar) st_elocal("offset", offname.c_str());
  if (o.expvar) st_elocal("offset", ("ln(" + expname + ")").c_str());
  for (const auto& [n, v] : f.macros) st_elocal(n.c_str(), v.c_str());
  st_elocal("predict", f.predict.c_str());
  st_elocal("properties", "b V");
  st_epost(f.names, f.b, f.V);
  mlc_esample(s);
}

void mlc_display(double level, const std::string& eform) {
  const std::string title = st_elocalget("title");
  const double N = st_escalarget("N"), chi2 = st_escalarget("chi2"), df = st_escalarget("df_m");
  const double p = st_escalarget("p"), r2 = st_escalarget("r2_p"), ll = st_escalarget("ll");
  const std::string ct = st_elocalget("chi2type");
  spoutsml("\n");
  spoutsml("{txt}");
  spout21(title.c_str());
  char b[64];
  std::snprintf(b, sizeof b, "%.0f", N);
  ct_headline("Number of obs", b);
  std::snprintf(b, sizeof b, "%s chi2(%.0f)", ct.c_str(), df);
  ct_headline(b, sreforms("%10.2f", chi2));
  ct_headline("Prob > chi2", sreforms("%10.4f", p));
  spoutsml("{txt}Log likelihood = {res}");
  spoutsml(sreforms("%10.0g", ll));
  ct_headline("Pseudo R2", sreforms("%10.4f", r2));
  mlc_clusternote();
  spoutsml("\n");
  CoefTable t;
  if (ct_frome(t)) return;
  t.level = level;
  t.eform = eform;
  ct_display(t);
  const double ca = st_escalarget("chi2_alpha");
  if (ca < misval) {
    spoutsml((std::string("{txt}alpha = {res}") + shownum(st_escalarget("alpha")) + "\n").c_str());
    const std::string pa = sreforms("%5.3f", st_escalarget("p_alpha"));
    const std::string cs = sreforms("%8.2f", ca);
    spoutsml(("{txt}LR test of alpha=0: chibar2(01) ={res}" + cs + "{txt}   Prob >= chibar2 = {res}" + pa + "\n")
                 .c_str());
  }
}

int mlc_begin(ParseResult& pr, const char* cmd, const char* eformtitle, const char* eformopt, bool* done) {
  *done = false;
  if (int rc = parse({.tsops = PERM_OPTIONAL, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  const bool programby = !cmd_bylevel && ex.byvar != 0 && ex.byn1 > 0;
  if (programby) {
    ds.nobs1 = std::max(ds.nobs1, ex.byn1);
    ds.nobs2 = std::min(ds.nobs2, ex.byn2);
  }
  if (pr.hasvarlist) return 0;
  *done = true;
  if (cmd_bylevel || programby) return error(RC_NOBY);
  return mlc_replay(pr, cmd, eformtitle, eformopt);
}

MlEq mlc_eq(const std::vector<unsigned char>& dropped, bool cons) {
  MlEq eq;
  for (size_t j = 0; j < dropped.size(); ++j)
    if (!dropped[j]) eq.cols.push_back(static_cast<int>(j));
  eq.cons = cons;
  return eq;
}

int mlc_fit(const MlModel& m, const MlcSample& s, const MlcOpts& o, const std::vector<double>& b0, MlResult& r) {
  MlOpts q = o.ml;
  q.log = mlc_logger(o);
  const int rc = ml_maximize(m, s.d, b0, q, r);
  if (rc == ML_BREAK) return 1;
  if (rc == ML_NOINIT) return errmsgf(RC_OVERFLOW, "initial values not feasible\n");
  return 0;
}

int mlc_quietfit(const MlModel& m, const MlData& d, const std::vector<double>& b0, const MlOpts& o, MlResult& r) {
  MlOpts q = o;
  q.log = {};
  return ml_maximize(m, d, b0, q, r);
}

void mlc_fitted(MlcFit& f, const MlResult& r, int P, const MlcSample& s, const MlcOpts& o, double total) {
  f.N = s.wkind == WK_F || s.wkind == WK_I ? std::round(total * 1e9) / 1e9 : static_cast<double>(s.d.n);
  f.ll = r.ll;
  f.ic = r.iter;
  f.converged = r.converged;
  f.k = P;
  f.wald = o.robust || o.clustvar || s.wkind == WK_P;
}

int mlc_finish(const MlcFit& f, const MlcSample& s, const MlcOpts& o, const std::string& eform,
               const std::function<void()>& posted, const std::string& tail) {
  if (!f.converged) st_note("convergence not achieved\n");
  mlc_post(f, s, o);
  if (posted) posted();
  mlc_display(o.level, eform);
  if (!tail.empty()) spoutsml(tail.c_str());
  return f.converged ? 0 : RC_NOCONVERGE;
}

int mlc_replay(ParseResult& pr, const char* cmd, const char* eformtitle, const char* eformopt) {
  if (st_ecmd() != cmd) return error(RC_NOESTIMATES);
  double level;
  if (int rc = st_level(pr, &level)) return rc;
  const bool ef = eformopt && findopt(pr, eformopt, static_cast<int>(std::strlen(eformopt)), 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (pr.hasif || pr.hasin || pr.hasweight) return error(RC_SYNTAX);
  mlc_display(level, ef ? eformtitle : "");
  return 0;
}

void stats_reset() {
  sts = StatsState{};
  mls = MlState{};
}
