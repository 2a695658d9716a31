// _qreg and _huber: the commands behind qreg (quantile regression) and
// huberreg (M-estimation, Huber then biweight). Parsing, posting and
// printing; the fits are in qregfit.cpp.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "stats/etable.h"
#include "stats/mlcmd.h"
#include "stats/post.h"
#include "stats/qregfit.h"
#include "stats/stats.h"

namespace {

std::string num(const char* fmt, double v) { return sreforms(fmt, v); }

// An integer option between lo and hi into *out (left as it is when the
// option is absent). 0 or 198 (printed).
int intopt(ParseResult& pr, const char* name, int min, int lo, int hi, int* out) {
  double v[1];
  if (findoptv(pr, name, min, v, 1, 0) != 1) return 0;
  if (!(v[0] >= lo && v[0] <= hi) || v[0] != std::floor(v[0]))
    return errmsgf(RC_SYNTAX, "%s() must be an integer between %d and %d\n", name, lo, hi);
  *out = static_cast<int>(v[0]);
  return 0;
}

// Reads the parsed sample of a linear fit with a constant, once the options
// have all been read: the data with the constant as last column and dropped
// (collinear) regressors left out.
int readlin(ParseResult& pr, MlcSample& s, std::vector<unsigned char>& dropped, LinData& d) {
  if (int rc = chkopt(pr)) return rc;
  MlcOpts o;
  if (int rc = mlc_read(pr, o, s)) return rc;
  mlc_rmcoll(s, true, dropped);
  d = LinData{};
  d.n = s.d.n;
  for (size_t j = 0; j < s.d.x.size(); ++j)
    if (!dropped[j]) d.x.insert(d.x.end(), s.d.x[j].begin(), s.d.x[j].end());
  d.x.insert(d.x.end(), static_cast<size_t>(d.n), 1.0);
  d.p = static_cast<int>(d.x.size() / static_cast<size_t>(d.n));
  d.y = s.d.y;
  if (d.n <= d.p) return errmsgf(RC_NOOBS, "insufficient observations\n");
  return 0;
}

// Posts the common part of a linear robust fit.
void postlin(const char* cmd, const char* title, const MlcSample& s, const std::vector<unsigned char>& dropped,
             const std::vector<double>& b, const std::vector<double>& V, int p) {
  MlcFit f;
  mlc_coefs(f, s, dropped, true, "", {}, b, V);
  st_eclear();
  st_escalar("N", static_cast<double>(s.d.n));
  st_escalar("df_m", p - 1);
  st_escalar("df_r", static_cast<double>(s.d.n - p));
  st_elocal("cmd", cmd);
  st_elocal("title", title);
  st_elocal("depvar", s.depname.c_str());
  st_elocal("predict", "regres_p");
  st_elocal("properties", "b V");
  st_epost(f.names, f.b, f.V);
  mlc_esample(s);
}

void table(double level) {
  CoefTable t;
  if (ct_frome(t)) return;
  t.level = level;
  ct_display(t);
}

void qdisplay(double level) {
  spoutsml("\n{txt}");
  spout21(st_elocalget("title").c_str());
  ct_headline("Number of obs", num("%10.0f", st_escalarget("N")), 14);
  spoutsml(("{txt}  Raw sum of deviations {res}" + num("%10.0g", st_escalarget("sum_rdev")) + "{txt} (about {res}" +
            num("%9.0g", st_escalarget("q_v")) + "{txt})\n")
               .c_str());
  spoutsml(("{txt}  Min sum of deviations {res}" + num("%10.0g", st_escalarget("sum_adev"))).c_str());
  ct_headline("Pseudo R2", num("%10.4f", st_escalarget("r2_p")), 14);
  spoutsml("\n");
  table(level);
}

void hdisplay(double level) {
  spoutsml("\n{txt}");
  spout21(st_elocalget("title").c_str());
  ct_headline("Number of obs", num("%10.0f", st_escalarget("N")), 14);
  ct_headline("Scale", num("%10.0g", st_escalarget("scale")), 14);
  spoutsml("\n");
  table(level);
}

// The start of both commands: the line parsed (weights are refused there)
// and the level read; without a varlist the current results of `cmd` are
// shown again through show and *replayed is set.
int openline(ParseResult& pr, const char* cmd, void (*show)(double), double* level, bool* replayed) {
  *replayed = false;
  if (int rc = parse({.tsops = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  if (int rc = st_level(pr, level)) return rc;
  if (pr.hasvarlist) return 0;
  *replayed = true;
  if (int rc = chkopt(pr)) return rc;
  if (st_ecmd() != cmd) return error(RC_NOESTIMATES);
  show(*level);
  return 0;
}

// The end of both commands: the results shown, then 430 after a fit that
// did not converge (its results stay posted).
int shown(int fitrc, void (*show)(double), double level) {
  show(level);
  if (fitrc != QR_NOTCONV) return 0;
  st_note("convergence not achieved\n");
  return RC_NOCONVERGE;
}

// _qreg depvar indepvars [if] [in] [, quantile(#) iterate(#) wlsiter(#) level(#)]
int cmd_qreg(int) {
  ParseResult pr;
  double level;
  bool replayed;
  if (int rc = openline(pr, "qreg", qdisplay, &level, &replayed); rc || replayed) return rc;
  double v[1];
  double tau = 0.5;
  if (findoptv(pr, "quantile", 1, v, 1, 0) == 1) tau = v[0];
  if (!(tau > 0 && tau < 1)) return errmsgf(RC_SYNTAX, "quantile() must be strictly between 0 and 1\n");
  int iter = 1000, wls = 1;
  if (int rc = intopt(pr, "iterate", 4, 1, 16000, &iter)) return rc;
  if (int rc = intopt(pr, "wlsiter", 3, 1, 1000, &wls)) return rc;
  MlcSample s;
  std::vector<unsigned char> dropped;
  LinData d;
  if (int rc = readlin(pr, s, dropped, d)) return rc;
  QregResult r;
  const int rc = qreg_fit(d, tau, iter, wls, r);
  if (rc == QR_BREAK) return 1;
  if (rc == QR_SINGULAR) return errmsgf(RC_NOTPOSDEF, "the regressors are collinear\n");
  if (rc == QR_BWIDTH)
    return errmsgf(RC_BADDATA, "the sparsity cannot be estimated at quantile %g with %ld observations\n", tau, d.n);
  char title[64];
  if (tau == 0.5) std::snprintf(title, sizeof title, "Median regression");
  else std::snprintf(title, sizeof title, "%s Quantile regression", num("%5.0g", tau).c_str());
  std::string t = title;
  while (!t.empty() && t[0] == ' ') t.erase(0, 1);
  postlin("qreg", t.c_str(), s, dropped, r.b, r.V, d.p);
  st_escalar("q", tau);
  st_escalar("sum_adev", r.sum_adev);
  st_escalar("sum_rdev", r.sum_rdev);
  st_escalar("r2_p", r.sum_rdev > 0 ? 1 - r.sum_adev / r.sum_rdev : 0);
  {
    std::vector<double> ys = d.y;
    std::sort(ys.begin(), ys.end());
    const size_t k = static_cast<size_t>(std::max(1.0, std::ceil(tau * static_cast<double>(d.n)))) - 1;
    st_escalar("q_v", ys[std::min(k, ys.size() - 1)]);
  }
  st_escalar("sparsity", r.sparsity);
  st_escalar("bwidth", r.bwidth);
  st_escalar("ic", r.iter);
  st_escalar("convcode", rc == QR_NOTCONV ? 1 : 0);
  st_elocal("vertex", r.vertex ? "exact" : "interior");
  return shown(rc, qdisplay, level);
}

// _huber depvar indepvars [if] [in] [, tolerance(#) iterate(#) genwt(newvar) level(#)]
int cmd_huber(int) {
  ParseResult pr;
  double level;
  bool replayed;
  if (int rc = openline(pr, "huberreg", hdisplay, &level, &replayed); rc || replayed) return rc;
  double v[1];
  double tol = 1e-10;
  int iter = 1000;
  if (findoptv(pr, "tolerance", 3, v, 1, 0) == 1) {
    if (!(v[0] > 0 && v[0] < 1)) return errmsgf(RC_SYNTAX, "tolerance() must be between 0 and 1\n");
    tol = v[0];
  }
  if (int rc = intopt(pr, "iterate", 4, 1, 16000, &iter)) return rc;
  std::string gw;
  if (findargn(pr, "genwt", 3, gw, 64, 1))
    if (int rc = chkvarname(gw.c_str())) return rc;
  MlcSample s;
  std::vector<unsigned char> dropped;
  LinData d;
  if (int rc = readlin(pr, s, dropped, d)) return rc;
  HuberResult r;
  const int rc = huber_fit(d, tol, iter, r);
  if (rc == QR_BREAK) return 1;
  if (rc == QR_SINGULAR) return errmsgf(RC_NOTPOSDEF, "the weighted regressors are collinear\n");
  if (!(r.scale > 0)) return errmsgf(RC_BADDATA, "the residual scale is zero: at least half the observations are fitted exactly\n");
  postlin("huberreg", "Robust regression (Huber, then biweight)", s, dropped, r.b, r.V, d.p);
  st_escalar("scale", r.scale);
  st_escalar("hiter", r.hiter);
  st_escalar("biter", r.biter);
  st_escalar("converged", rc == QR_OK ? 1 : 0);
  if (!gw.empty()) {
    if (int er = addvar(gw.c_str(), ds.deftype)) return er;
    const int nv = ds.nvar;
    for (size_t i = 0; i < s.obs.size(); ++i) store(nv, s.obs[i], r.wt[i]);
    s_updata(nv);
  }
  return shown(rc, hdisplay, level);
}

}  // namespace

void stats_bindqreg() {
  cmdbind("_qreg", cmd_qreg);
  cmdbind("_huber", cmd_huber);
}
