// hausman: the Hausman test between two fits kept by
// `estimates store` (or "." for the current results): the difference of the
// common coefficients, its variance V_c - V_e, and the chi2 statistic with a
// generalised inverse (df its rank). Leaves r(chi2), r(df), r(p).
#include <lapacke.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "data/value.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "results/results.h"
#include "stats/lsq.h"
#include "stats/mlmax.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// The coefficients of the results called name: their names (equation parts
// removed), values and variance. 0, or 111 / 301 (printed).
int fitof(const std::string& name, std::vector<std::string>& cn, std::vector<double>& b, std::vector<double>& V,
          std::string& cmd) {
  const ResStore* e = nullptr;
  if (name == ".") {
    e = &res.e;
  } else {
    for (const HeldEst& h : res.held)
      if (h.name == name) e = &h.e;
    if (!e) return errmsgf(RC_NOTFOUND, "estimation result %s not found\n", name.c_str());
  }
  const Matrix* mb = e->matrix("b");
  const Matrix* mv = e->matrix("V");
  if (!mb || !mv || mv->rows != mb->cols) return error(RC_NOESTIMATES);
  cn = mb->cnames;
  for (std::string& n : cn)
    if (size_t c = n.find(':'); c != std::string::npos) n.erase(0, c + 1);
  b.assign(mb->v.begin(), mb->v.begin() + mb->cols);
  V = mv->v;
  const std::string* c = e->macro("cmd");
  cmd = c ? *c : "";
  return 0;
}

// hausman name_consistent name_efficient
int cmd_hausman(int) {
  std::vector<std::string> args;
  for (std::string w; !(w = gettok(prsestd)).empty();) {
    if (w == ",") return errmsgf(RC_SYNTAX, "hausman takes no options\n");
    args.push_back(w);
  }
  if (args.size() != 2) return errmsgf(RC_SYNTAX, "hausman needs two names: the consistent fit, then the efficient one\n");
  std::vector<std::string> n1, n2;
  std::vector<double> b1, V1, b2, V2;
  std::string c1, c2;
  if (int rc = fitof(args[0], n1, b1, V1, c1)) return rc;
  if (int rc = fitof(args[1], n2, b2, V2, c2)) return rc;
  const size_t p1 = n1.size(), p2 = n2.size();
  // Common coefficients, the constants and dropped ones left out.
  std::vector<size_t> i1, i2;
  std::vector<std::string> names;
  for (size_t a = 0; a < p1; ++a) {
    if (n1[a] == "_cons" || V1[a * p1 + a] <= 0) continue;
    for (size_t c = 0; c < p2; ++c)
      if (n2[c] == n1[a] && V2[c * p2 + c] > 0) {
        i1.push_back(a), i2.push_back(c), names.push_back(n1[a]);
        break;
      }
  }
  const int q = static_cast<int>(names.size());
  if (q == 0) return errmsgf(RC_BADAFTEREST, "the two fits have no coefficients in common\n");
  std::vector<double> d(static_cast<size_t>(q)), Vd(static_cast<size_t>(q * q));
  for (int a = 0; a < q; ++a) {
    d[static_cast<size_t>(a)] = b1[i1[static_cast<size_t>(a)]] - b2[i2[static_cast<size_t>(a)]];
    for (int c = 0; c < q; ++c)
      Vd[static_cast<size_t>(a * q + c)] = V1[i1[static_cast<size_t>(a)] * p1 + i1[static_cast<size_t>(c)]] -
                                           V2[i2[static_cast<size_t>(a)] * p2 + i2[static_cast<size_t>(c)]];
  }
  // The plain inverse when V_b-V_B is nonsingular (positive definite or
  // not), else the sweep's generalised inverse and its rank.
  std::vector<double> inv(Vd);
  int rank = q;
  {
    std::vector<lapack_int> piv(static_cast<size_t>(q));
    if (LAPACKE_dgetrf(LAPACK_ROW_MAJOR, q, q, inv.data(), q, piv.data()) != 0 ||
        LAPACKE_dgetri(LAPACK_ROW_MAJOR, q, inv.data(), q, piv.data()) != 0) {
      inv = Vd;
      std::vector<unsigned char> kept;
      rank = lsq_sweepinv(inv, q, kept);
    }
  }
  double chi2 = 0;
  for (int a = 0; a < q; ++a)
    for (int c = 0; c < q; ++c) chi2 += d[static_cast<size_t>(a)] * inv[static_cast<size_t>(a * q + c)] * d[static_cast<size_t>(c)];
  bool posdef = true;
  {
    std::vector<double> t(Vd);
    posdef = lsq_invpd(t, q);
  }
  const double p = rank > 0 && chi2 >= 0 ? ml_chi2tail(rank, chi2) : misval;
  // The table.
  spoutsml("\n{txt}                 {hline 4} Coefficients {hline 4}\n");
  spoutsmlf("{txt}             {c |}      (b)          (B)            (b-B)     sqrt(diag(V_b-V_B))\n");
  spoutsml("{txt}             {c |}");
  auto head = [](const std::string& s) {
    std::string t = abvar(s, 10);
    char b[32];
    std::snprintf(b, sizeof b, "%12s ", t.c_str());
    spoutsml(b);
  };
  head(args[0]);
  head(args[1]);
  spoutsml("   Difference          S.E.\n");
  spoutsml("{txt}{hline 13}{c +}{hline 64}\n");
  for (int a = 0; a < q; ++a) {
    const std::string nm = abvar(names[static_cast<size_t>(a)], 12);
    std::string l = "{txt}" + std::string(12 - nm.size(), ' ');
    spoutsml(l.c_str());
    spout21(nm.c_str());
    const double v = Vd[static_cast<size_t>(a * q + a)];
    // (sreforms returns its own buffer: one call per statement.)
    l = " {c |}  {res}";
    l += sreforms("%9.0g", b1[i1[static_cast<size_t>(a)]]);
    l += "    ";
    l += sreforms("%9.0g", b2[i2[static_cast<size_t>(a)]]);
    l += "    ";
    l += sreforms("%9.0g", d[static_cast<size_t>(a)]);
    l += "        ";
    l += sreforms("%9.0g", v > 0 ? std::sqrt(v) : misval);
    l += "\n";
    spoutsml(l.c_str());
  }
  spoutsml("{txt}{hline 13}{c BT}{hline 64}\n");
  spoutsml("{txt}    b: consistent under Ho and Ha; B: efficient under Ho, inconsistent under Ha\n\n");
  spoutsml("{txt}    Test:  Ho:  difference in coefficients not systematic\n\n");
  spoutsmlf("{txt}                  chi2({res}%d{txt}) = (b-B)'[(V_b-V_B)^(-1)](b-B) = {res}%10.2f\n", rank, chi2);
  spoutsmlf("{txt}                Prob > chi2 = {res}%10.4f\n", p);
  if (!posdef) spoutsml("{txt}                (V_b-V_B is not positive definite)\n");
  st_rclear();
  st_rscalar("chi2", chi2);
  st_rscalar("df", rank);
  st_rscalar("p", p);
  return 0;
}

}  // namespace

void stats_bindhausman() { cmdbind("_hausman", cmd_hausman); }
