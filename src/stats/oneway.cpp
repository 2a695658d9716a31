// oneway: one-way analysis of variance of a response across the groups of
// a factor, with Bartlett's test for equal variances and, on request, a
// table of each group's mean, standard deviation and frequency.
//   oneway response factor [if] [in] [weight] [, tabulate noanova nolabel]
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "data/by.h"
#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/accum.h"
#include "stats/levels.h"
#include "stats/post.h"
#include "stats/stats.h"
#include "stats/twowaytests.h"

namespace {

struct Group {
  double W = 0, n = 0;  // sum of weights, observations
  Accum S;              // weighted sum
  double mean = 0, ss = 0;
};

std::string g(const char* f, double x) { return sreforms(f, x); }

int cmd_oneway(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  const bool tab = findopt(pr, "tabulate", 3, 0) == 1;
  const bool anova = findopt(pr, "anova", 4, 1) == 1;
  const bool nolabel = findopt(pr, "label", 3, 1) == 0;
  if (int rc = chkopt(pr)) return rc;
  if (vl.lnvar() != 2) return error(vl.lnvar() < 2 ? 102 : 103);
  if (pr.hasweight && (pr.wgttype[0] == WK_P || pr.wgttype[0] == WK_I))
    return errmsgf(RC_NOTALLOWED, "%ss not allowed\n", pr.wgttype.c_str());
  const int yv = vl.varlist_vr[0], fv = vl.varlist_vr[1];
  if (isstrtype(vartype(yv))) return error(RC_TYPEMISMATCH);
  try {
    StSample s;
    if (int rc = st_sample(s, pr)) return rc;
    const long n = s.hi - s.lo + 1;
    // observations with a response and a weight
    StSample s2 = s;
    if (s2.sel.empty()) s2.sel.assign(static_cast<size_t>(std::max(0L, n)), 1);
    for (long i = 0; i < n; ++i) {
      if (!s2.sel[static_cast<size_t>(i)]) continue;
      if (zelta_data(yv, s.lo + i) >= misval) s2.sel[static_cast<size_t>(i)] = 0;
      if (s.wkind) {
        bool use;
        if (int rc = st_checkweight(s.wkind, s.w[static_cast<size_t>(i)], &use)) return rc;
        if (!use) s2.sel[static_cast<size_t>(i)] = 0;
      }
    }
    Levels lv;
    LvCodes code;
    if (int rc = lv_code(fv, -1, s2, false, lv, &code)) return rc;
    const int k = lv.n();
    if (k == 0) return st_noobs();
    std::vector<Group> gr(static_cast<size_t>(k));
    for (long i = 0; i < n; ++i) {
      const int32_t c = code[static_cast<size_t>(i)];
      if (c < 0) continue;
      const double w = s.wkind ? s.w[static_cast<size_t>(i)] : 1;
      Group& G = gr[static_cast<size_t>(c)];
      G.W += w, G.n += 1;
      G.S.add(w * zelta_data(yv, s.lo + i));
    }
    double W = 0, nobs = 0;
    Accum T;
    for (Group& G : gr) {
      G.mean = G.S.value() / G.W;
      W += G.W, nobs += G.n;
      T.add(G.S.value());
    }
    // aweights are scaled to sum to the number of observations
    const double scale = s.wkind == WK_A ? nobs / W : 1;
    const double N = s.wkind == WK_F ? W : nobs;
    const double grand = T.value() / W;
    Accum within, between;
    for (long i = 0; i < n; ++i) {
      const int32_t c = code[static_cast<size_t>(i)];
      if (c < 0) continue;
      const double w = (s.wkind ? s.w[static_cast<size_t>(i)] : 1) * scale;
      const double d = zelta_data(yv, s.lo + i) - gr[static_cast<size_t>(c)].mean;
      within.add(w * d * d);
      gr[static_cast<size_t>(c)].ss += w * d * d;
    }
    for (const Group& G : gr) between.add(G.W * scale * (G.mean - grand) * (G.mean - grand));
    const double mss = between.value(), rss = within.value();
    const double dfm = k - 1, dfr = N - k;
    const double msm = dfm > 0 ? mss / dfm : misval, msr = dfr > 0 ? rss / dfr : misval;
    const double F = msm < misval && msr < misval && msr > 0 ? msm / msr : misval;
    const double pF = F < misval ? fn_Ftail(dfm, dfr, F) : misval;
    // Bartlett's test over the groups with a variance
    double bchi = misval, bdf = misval;
    {
      double sumdf = 0, sumlog = 0, suminv = 0, pooled = 0;
      int kk = 0;
      bool ok = true;
      for (const Group& G : gr) {
        const double df = G.W * scale - 1;
        if (df <= 0) continue;
        const double v = G.ss / df;
        if (!(v > 0)) ok = false;
        ++kk;
        sumdf += df, pooled += G.ss, suminv += 1 / df;
        if (v > 0) sumlog += df * std::log(v);
      }
      if (ok && kk >= 2 && sumdf > 0) {
        const double sp = pooled / sumdf;
        bchi = (sumdf * std::log(sp) - sumlog) / (1 + (suminv - 1 / sumdf) / (3.0 * (kk - 1)));
        bdf = kk - 1;
      }
    }
    if (out.s_outlev <= OUT_RESULT) {
      if (tab) {
        const std::string hdr = varname(fv);
        int w = std::max(10, static_cast<int>(hdr.size()));
        for (int j = 0; j < k; ++j) w = std::max(w, static_cast<int>(lv_text(lv, j, fv, nolabel).size()));
        w = std::min(w, 20);
        auto pad = [w](const std::string& t) {
          std::string a = t.size() > static_cast<size_t>(w) ? t.substr(0, static_cast<size_t>(w)) : t;
          return std::string(static_cast<size_t>(w) - a.size(), ' ') + a;
        };
        spoutsml("\n{txt}");
        spoutnosml(pad(hdr).c_str());
        spoutsml(" {c |}            Summary of ");
        spoutnosml(varname(yv).c_str());
        spoutsml("\n");
        spoutsml((std::string(static_cast<size_t>(w), ' ') + " {c |}        Mean   Std. Dev.       Freq.\n").c_str());
        spoutsmlf("{hline %d}{c +}{hline 36}\n", w + 1);
        auto line = [&](const std::string& t, double m, double sd, double f) {
          spoutsml("{txt}");
          spoutnosml(pad(t).c_str());
          spoutsml((" {c |}{res}  " + g("%10.0g", m) + "  " + g("%10.0g", sd) + "  " + g("%10.0g", f) + "\n").c_str());
        };
        for (int j = 0; j < k; ++j) {
          const Group& G = gr[static_cast<size_t>(j)];
          const double df = G.W * scale - 1;
          line(lv_text(lv, j, fv, nolabel), G.mean, df > 0 ? std::sqrt(G.ss / df) : misval, s.wkind == WK_F ? G.W : G.n);
        }
        spoutsmlf("{txt}{hline %d}{c +}{hline 36}\n", w + 1);
        line("Total", grand, N > 1 ? std::sqrt((mss + rss) / (N - 1)) : misval, N);
      }
      if (anova) {
        spoutsml("\n{txt}                        Analysis of Variance\n");
        spoutsml("    Source              SS         df      MS            F     Prob > F\n");
        spoutsml("{hline 72}\n");
        spoutsml(("Between groups   {res}" + g("%11.0g", mss) + "   " + g("%6.0f", dfm) + "  " + g("%11.0g", msm) +
                  "   " + g("%8.2f", F) + "     " + g("%6.4f", pF) + "\n").c_str());
        spoutsml(("{txt} Within groups   {res}" + g("%11.0g", rss) + "   " + g("%6.0f", dfr) + "  " + g("%11.0g", msr) +
                  "\n").c_str());
        spoutsml("{txt}{hline 72}\n");
        const double dft = N - 1;
        spoutsml(("{txt}    Total        {res}" + g("%11.0g", mss + rss) + "   " + g("%6.0f", dft) + "  " +
                  g("%11.0g", dft > 0 ? (mss + rss) / dft : misval) + "\n").c_str());
        if (bchi < misval)
          spoutsml(("\n{txt}Bartlett's test for equal variances:  chi2(" + std::to_string(static_cast<long>(bdf)) +
                    ") = {res}" + g("%8.4f", bchi) + "{txt}  Prob>chi2 = {res}" + g("%5.3f", st_chi2tail(bdf, bchi)) + "\n")
                       .c_str());
      }
    }
    st_rclear();
    st_rscalar("N", N);
    st_rscalar("df_r", dfr);
    st_rscalar("F", F);
    st_rscalar("df_m", dfm);
    st_rscalar("mss", mss);
    st_rscalar("rss", rss);
    if (bchi < misval) {
      st_rscalar("chi2bart", bchi);
      st_rscalar("df_bart", bdf);
    }
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return 0;
}

}  // namespace

void stats_bindoneway() {
  cmdbind("oneway", cmd_oneway);
  by_allow("oneway", true);
}
