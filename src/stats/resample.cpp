// bootstrap and jackknife: prefixes that run a command on resampled data
// (drawn with replacement, or with one observation or cluster left out at a
// time) and summarise the statistics it leaves in r() or e(): observed
// values, bias, standard errors and confidence intervals. The dataset is
// kept in a snapshot and put back after every replication and at the end,
// on a Break too; replications whose command fails are counted and left
// out.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "data/store.h"
#include "expr/expr.h"
#include "expr/funcs.h"
#include "files/files.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// One statistic: its name as shown and posted, and its expression.
struct RsItem {
  std::string name, exp;
};

// The prefix's options.
struct RsOpts {
  long reps = 50;                // bootstrap replications
  bool hasseed = false;
  long seed = 0;                 // seed(#)
  int clustvar = 0;              // cluster() variable (0 none)
  std::vector<int> strata;       // strata() variables
  std::string saving;            // saving() file ("" none)
  bool replace = false;          // saving(, replace)
  long size = 0;                 // size(#) (0: the number of units)
  double level = 95;
  bool dots = true;
};

// The position of c in s at depth 0 (outside quotes and brackets) from
// from on; npos when absent.
size_t findtop(const std::string& s, char c, size_t from = 0) {
  int depth = 0;
  bool quote = false;
  for (size_t i = from; i < s.size(); ++i) {
    const char ch = s[i];
    if (ch == '"') quote = !quote;
    if (quote) continue;
    if (ch == '(' || ch == '[' || ch == '{') ++depth;
    else if (ch == ')' || ch == ']' || ch == '}') --depth;
    else if (ch == c && depth == 0) return i;
  }
  return std::string::npos;
}

std::string trim(std::string s) {
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// exp_list -> item*, item -> [name=]exp; unnamed items are pfx1, pfx2, ...
int parseitems(const std::string& text, const char* pfx, std::vector<RsItem>& items) {
  size_t i = 0;
  int k = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size()) break;
    size_t j = findtop(text, ' ', i);
    if (j == std::string::npos) j = text.size();
    std::string w = text.substr(i, j - i);
    i = j;
    RsItem it;
    const size_t eq = w.find('=');
    if (eq != std::string::npos && eq > 0 && eq + 1 < w.size() && w[eq + 1] != '=') {
      it.name = w.substr(0, eq);
      it.exp = w.substr(eq + 1);
      if (int rc = chkvarname(it.name.c_str())) return rc;
    } else {
      it.exp = w;
    }
    ++k;
    if (it.name.empty() && it.exp != "_b") it.name = std::string(pfx) + std::to_string(k);
    items.push_back(it);
  }
  return 0;
}

// A number option's value: 0 or 198 (printed).
int numarg(const std::string& name, const std::string& arg, double lo, double hi, bool integer, double* v) {
  char* end = nullptr;
  const double x = std::strtod(arg.c_str(), &end);
  if (arg.empty() || *end || !(x >= lo && x <= hi) || (integer && x != std::floor(x)))
    return errmsgf(RC_SYNTAX, "%s() invalid\n", name.c_str());
  *v = x;
  return 0;
}

// The options text: name[(arg)] words. boot: the bootstrap's set.
int parseopts(const std::string& text, bool boot, RsOpts& o) {
  size_t i = 0;
  o.level = st_setlevel();
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size()) break;
    size_t j = i;
    while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_')) ++j;
    const std::string name = text.substr(i, j - i);
    std::string arg;
    bool hasarg = false;
    if (j < text.size() && text[j] == '(') {
      size_t e = j + 1;
      int depth = 1;
      while (e < text.size() && depth > 0) {
        if (text[e] == '(') ++depth;
        else if (text[e] == ')') --depth;
        if (depth > 0) ++e;
      }
      if (e >= text.size()) return errmsgf(RC_UNBALANCED, "parentheses unbalanced\n");
      arg = trim(text.substr(j + 1, e - j - 1));
      hasarg = true;
      j = e + 1;
    }
    if (name.empty()) return errmsgf(RC_SYNTAX, "invalid syntax\n");
    auto is = [&](const char* full, size_t min) {
      return name.size() >= min && name.size() <= std::strlen(full) && std::strncmp(full, name.c_str(), name.size()) == 0;
    };
    double v = 0;
    if (boot && is("reps", 1) && hasarg) {
      if (int rc = numarg("reps", arg, 2, 1e9, true, &v)) return rc;
      o.reps = static_cast<long>(v);
    } else if (boot && is("seed", 4) && hasarg) {
      if (int rc = numarg("seed", arg, 0, 2147483646, true, &v)) return rc;
      o.seed = static_cast<long>(v);
      o.hasseed = true;
    } else if (boot && is("size", 4) && hasarg) {
      if (int rc = numarg("size", arg, 1, 1e12, true, &v)) return rc;
      o.size = static_cast<long>(v);
    } else if (boot && is("strata", 3) && hasarg) {
      if (int rc = st_textvars(arg, o.strata)) return rc;
    } else if (is("cluster", 2) && hasarg) {
      std::vector<int> vs;
      if (int rc = st_textvars(arg, vs)) return rc;
      if (vs.size() != 1) return errmsgf(RC_SYNTAX, "cluster() takes one variable\n");
      o.clustvar = vs[0];
    } else if (is("saving", 3) && hasarg) {
      const size_t c = arg.find(',');
      o.saving = trim(arg.substr(0, c));
      if (c != std::string::npos) {
        const std::string r = trim(arg.substr(c + 1));
        if (r != "replace") return errmsgf(RC_SYNTAX, "option saving() invalid\n");
        o.replace = true;
      }
      if (o.saving.empty()) return errmsgf(RC_SYNTAX, "option saving() invalid\n");
    } else if (is("level", 1) && hasarg) {
      if (int rc = numarg("level", arg, 10, 99.99, false, &v)) return rc;
      o.level = v;
    } else if (is("nodots", 5) && !hasarg) {
      o.dots = false;
    } else {
      return errmsgf(RC_SYNTAX, "option %s not allowed\n", name.c_str());
    }
    i = j;
  }
  for (int v : o.strata)
    if (isstrtype(vartype(v))) return errmsgf(RC_TYPEMISMATCH, "strata() variable %s must be numeric\n", varname(v).c_str());
  return 0;
}

// Runs a command line as under quietly (error messages shown) or, with
// quiet, as under capture (nothing shown); returns its code.
int runcmd(const std::string& cmd, bool quiet) {
  const int saved = out.s_outlev;
  out.s_outlev = quiet ? 5 : 3;
  const int rc = execline(cmd);
  out.s_outlev = saved;
  return rc;
}

// The values of the items now (missing when one cannot be evaluated).
void evalitems(const std::vector<RsItem>& items, std::vector<double>& v) {
  v.assign(items.size(), misval);
  for (size_t k = 0; k < items.size(); ++k) {
    ExprProg p;
    const int saved = out.s_outlev;
    out.s_outlev = 5;
    const int rc = compexp_u(items[k].exp.c_str(), p, EXP_NUM);
    if (!rc) v[k] = evalnum(p, 1);
    out.s_outlev = saved;
  }
}

// The sampling units: the observations (1-based) of each unit, grouped by
// stratum (units[s] lists stratum s's units).
void makeunits(const RsOpts& o, std::vector<std::vector<std::vector<long>>>& units) {
  std::map<std::vector<double>, std::map<double, std::vector<long>>> m;
  for (long obs = 1; obs <= ds.nobs; ++obs) {
    std::vector<double> key;
    for (int v : o.strata) key.push_back(zelta_data(v, obs));
    const double c = o.clustvar ? zelta_data(o.clustvar, obs) : static_cast<double>(obs);
    m[key][c].push_back(obs);
  }
  units.clear();
  for (auto& [key, cl] : m) {
    std::vector<std::vector<long>> u;
    for (auto& [c, obs] : cl) u.push_back(std::move(obs));
    units.push_back(std::move(u));
  }
}

// Replaces the dataset (as in snap) by its observations rows, in order.
int takerows(const DsSnapshot& snap, const std::vector<long>& rows) {
  if (int rc = ds_restore(snap)) return rc;
  const long L = std::max<long>(1, ds.lrecl);
  const long n = static_cast<long>(rows.size());
  std::vector<unsigned char> buf(static_cast<size_t>(n) * static_cast<size_t>(L));
  for (long k = 0; k < n; ++k) getdtaobs(buf.data() + static_cast<size_t>(k) * static_cast<size_t>(L), rows[static_cast<size_t>(k)], L);
  if (n < ds.nobs) (void)keepobsrange(1, n);
  else if (n > ds.nobs)
    if (int rc = setobs_quiet(n)) return rc;
  for (long k = 0; k < n; ++k) putdtaobs(buf.data() + static_cast<size_t>(k) * static_cast<size_t>(L), k + 1, L);
  ds.srtlist.clear();
  for (int v = 1; v <= ds.nvar; ++v) s_updata(v);
  return 0;
}

// The p-quantile of sorted values: the average of the two middle order
// statistics when R p is whole, else the next one up.
double pct(const std::vector<double>& s, double p) {
  const double np = static_cast<double>(s.size()) * p;
  const double f = std::floor(np);
  const size_t R = s.size();
  if (np == f) {
    const size_t a = static_cast<size_t>(std::max(1.0, f)), b = std::min(R, a + 1);
    return f < 1 ? s[0] : 0.5 * (s[a - 1] + s[b - 1]);
  }
  return s[std::min(R, static_cast<size_t>(f) + 1) - 1];
}

std::string fmt9(double v) {
  if (!(v < misval)) return "        .";
  return sreforms("%9.0g", v);
}

// The table of results: one row per statistic with its intervals.
void table(const char* title, const char* kind, const RsOpts& o, long nobs, long nrep, long nfail,
           const std::string& cmd, const std::vector<RsItem>& items, const std::vector<double>& obs,
           const std::vector<double>& bias, const std::vector<double>& se, const std::vector<std::vector<double>>& ci,
           bool boot) {
  char b[128];
  spoutsml("\n");
  std::snprintf(b, sizeof b, "{txt}%-48s{col 51}Number of obs    = {res}%10ld\n", title, nobs);
  spoutsml(b);
  std::snprintf(b, sizeof b, "{col 51}{txt}Replications     = {res}%10ld\n", nrep - nfail);
  spoutsml(b);
  spoutsml("\n{txt}      command:  ");
  spout21(cmd.c_str());
  spoutsml("\n");
  for (const RsItem& it : items)
    if (it.name != it.exp && it.exp.rfind("_b[", 0) != 0) {
      std::snprintf(b, sizeof b, "{txt}%13s:  ", it.name.substr(0, 13).c_str());
      spoutsml(b);
      spout21(it.exp.c_str());
      spoutsml("\n");
    }
  spoutsml("\n{txt}{hline 13}{c TT}{hline 64}\n");
  std::snprintf(b, sizeof b, "{txt}             {c |}  Observed   %9s%21s\n", kind, "");
  spoutsml(b);
  std::snprintf(b, sizeof b, "{txt}             {c |}     Value       Bias   Std. Err.    [%g%% Conf. Interval]\n", o.level);
  spoutsml(b);
  spoutsml("{txt}{hline 13}{c +}{hline 64}\n");
  const char* tags[] = {"(N)", "(P)", "(BC)"};
  for (size_t k = 0; k < items.size(); ++k) {
    std::string nm = items[k].name.size() > 12 ? items[k].name.substr(0, 12) : items[k].name;
    nm.insert(0, 12 - nm.size(), ' ');
    for (size_t c = 0; c < ci.size(); ++c) {
      std::string l = "{txt}" + (c == 0 ? nm : std::string(12, ' ')) + " {c |}{res}";
      if (c == 0) l += " " + fmt9(obs[k]) + "  " + fmt9(bias[k]) + "  " + fmt9(se[k]) + "  ";
      else l += std::string(34, ' ');
      l += "  " + fmt9(ci[c][2 * k]) + "  " + fmt9(ci[c][2 * k + 1]) + "  {txt}" + (boot ? tags[c] : "") + "\n";
      spoutsml(l.c_str());
    }
  }
  spoutsml("{txt}{hline 13}{c BT}{hline 64}\n");
  if (boot)
    spoutsml("{txt}(N)    normal confidence interval\n(P)    percentile confidence interval\n"
             "(BC)   bias-corrected confidence interval\n");
  else
    spoutsml("{txt}intervals from the t distribution with (units - 1) degrees of freedom\n");
  if (nfail) {
    std::snprintf(b, sizeof b, "{txt}note: %ld of %ld replications failed and are left out\n", nfail, nrep);
    spoutsml(b);
  }
}

// The shared run of both prefixes. boot: bootstrap, else jackknife.
int resample(bool boot) {
  const char* name = boot ? "bootstrap" : "jackknife";
  std::string rest = wheretok();
  settok("");
  const size_t colon = findtop(rest, ':');
  if (colon == std::string::npos) return errmsgf(RC_SYNTAX, "%s needs a command after a colon\n", name);
  const std::string left = rest.substr(0, colon);
  const std::string cmd = trim(rest.substr(colon + 1));
  if (cmd.empty()) return errmsgf(RC_SYNTAX, "%s needs a command after a colon\n", name);
  const size_t comma = findtop(left, ',');
  std::vector<RsItem> items;
  if (int rc = parseitems(trim(left.substr(0, comma)), boot ? "_bs_" : "_jk_", items)) return rc;
  RsOpts o;
  if (comma != std::string::npos)
    if (int rc = parseopts(left.substr(comma + 1), boot, o)) return rc;
  if (o.clustvar && isstrtype(vartype(o.clustvar)))
    return errmsgf(RC_TYPEMISMATCH, "cluster() variable %s must be numeric\n", varname(o.clustvar).c_str());
  if (ds.nobs < 2) return errmsgf(RC_NOOBS, "insufficient observations\n");
  // The observed run, on the data as they are.
  if (int rc = runcmd(cmd, false)) return rc;
  // _b (alone or by default) stands for every posted coefficient.
  std::vector<RsItem> all;
  if (items.empty()) items.push_back({"", "_b"});
  for (const RsItem& it : items) {
    if (it.exp != "_b") {
      all.push_back(it);
      continue;
    }
    std::vector<std::string> cn;
    std::vector<double> cb, cV;
    if (!st_ecoefs(cn, cb, cV)) return errmsgf(RC_NOESTIMATES, "_b: the command posted no coefficients\n");
    for (const std::string& c : cn) all.push_back({c, "_b[" + c + "]"});
  }
  items = all;
  const size_t K = items.size();
  std::vector<double> theta;
  evalitems(items, theta);
  for (size_t k = 0; k < K; ++k)
    if (!(theta[k] < misval))
      return errmsgf(RC_BADDATA, "%s: the observed value is missing or cannot be evaluated\n", items[k].exp.c_str());
  std::vector<std::vector<std::vector<long>>> units;
  makeunits(o, units);
  long nunits = 0, minunits = ds.nobs;
  for (const auto& s : units) nunits += static_cast<long>(s.size()), minunits = std::min(minunits, static_cast<long>(s.size()));
  if (boot && o.size > minunits)
    return errmsgf(RC_SYNTAX, "size() must not exceed the number of %s in %s\n", o.clustvar ? "clusters" : "observations",
                   o.strata.empty() ? "the data" : "the smallest stratum");
  if (!boot && nunits < 2) return errmsgf(RC_NOOBS, "insufficient observations\n");
  const long nobs0 = ds.nobs;
  DsSnapshot snap;
  if (int rc = ds_snapshot(snap)) return rc;
  const bool updata0 = ds.updata;
  std::string post;
  if (!o.saving.empty()) {
    post = "__rs_post";
    std::string decl = "postfile " + post;
    for (const RsItem& it : items) {
      std::string v = it.name;
      for (char& c : v)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') c = '_';
      if (!v.empty() && std::isdigit(static_cast<unsigned char>(v[0]))) v.insert(0, "_");
      decl += " double " + v;
    }
    decl += " using \"" + o.saving + "\"" + (o.replace ? ", replace" : "");
    if (int rc = runcmd(decl, false)) return rc;
  }
  if (boot && o.hasseed) seturnseed_i4(o.seed);
  const long R = boot ? o.reps : nunits;
  std::vector<double> reps;  // R x K, missing rows for failures
  reps.reserve(static_cast<size_t>(R) * K);
  long nfail = 0;
  int rc = 0;
  std::vector<double> v;
  std::vector<long> rows;
  std::vector<const std::vector<long>*> flat;
  for (const auto& s : units)
    for (const auto& u : s) flat.push_back(&u);
  for (long r = 0; r < R; ++r) {
    rows.clear();
    if (boot) {
      for (const auto& s : units) {
        const long m = static_cast<long>(s.size());
        const long draw = o.size ? o.size : m;
        for (long k = 0; k < draw; ++k) {
          const long u = std::min(m - 1, static_cast<long>(urnuni() * static_cast<double>(m)));
          rows.insert(rows.end(), s[static_cast<size_t>(u)].begin(), s[static_cast<size_t>(u)].end());
        }
      }
    } else {
      for (size_t u = 0; u < flat.size(); ++u)
        if (u != static_cast<size_t>(r)) rows.insert(rows.end(), flat[u]->begin(), flat[u]->end());
      std::sort(rows.begin(), rows.end());
    }
    if ((rc = takerows(snap, rows))) break;
    const int crc = runcmd(cmd, true);
    if (stopflag || crc == RC_BREAK) {
      rc = RC_BREAK;
      break;
    }
    v.assign(K, misval);
    if (!crc) evalitems(items, v);
    bool ok = crc == 0;
    for (double x : v) ok = ok && x < misval;
    if (!ok) {
      ++nfail;
      v.assign(K, misval);
    }
    reps.insert(reps.end(), v.begin(), v.end());
    if (!post.empty()) {
      std::string line = "post " + post;
      for (double x : v) {
        char nb[40];
        if (x < misval) std::snprintf(nb, sizeof nb, " (%.17g)", x);
        else std::snprintf(nb, sizeof nb, " (.)");
        line += nb;
      }
      if ((rc = runcmd(line, false))) break;
    }
    if (o.dots) {
      spoutsml(ok ? "{txt}." : "{err}x");
      if ((r + 1) % 50 == 0 || r + 1 == R) spoutsml("\n");
    }
  }
  // The data as they were, whatever happened.
  const int rrc = ds_restore(snap);
  ds.updata = updata0;
  // The results file: complete, or after a Break or failure left as it was.
  if (!post.empty()) {
    const int prc = post_close(post, rc == 0);
    if (!rc && prc) rc = prc;
  }
  if (rc == RC_BREAK) {
    if (o.dots) spoutsml("\n");
    return RC_BREAK;
  }
  if (rc) return rc;
  if (rrc) return rrc;
  const long good = R - nfail;
  if (good < 2) return errmsgf(RC_NOOBS, "fewer than two replications succeeded\n");
  // Summaries over the successful replications.
  std::vector<double> mean(K, 0), bias(K), se(K), V(K * K, 0);
  for (long r = 0; r < R; ++r) {
    const double* x = &reps[static_cast<size_t>(r) * K];
    if (!(x[0] < misval)) continue;
    for (size_t k = 0; k < K; ++k) mean[k] += x[k];
  }
  for (double& m : mean) m /= static_cast<double>(good);
  for (long r = 0; r < R; ++r) {
    const double* x = &reps[static_cast<size_t>(r) * K];
    if (!(x[0] < misval)) continue;
    for (size_t a = 0; a < K; ++a)
      for (size_t c = 0; c < K; ++c) V[a * K + c] += (x[a] - mean[a]) * (x[c] - mean[c]);
  }
  const double G = static_cast<double>(good);
  const double vf = boot ? 1 / (G - 1) : (G - 1) / G;
  for (double& x : V) x *= vf;
  const double alpha = (100 - o.level) / 200;
  const double df = G - 1;
  const double crit = boot ? fn_invnormal(1 - alpha) : fn_invttail(df, alpha);
  std::vector<std::vector<double>> ci(boot ? 3 : 1, std::vector<double>(2 * K));
  for (size_t k = 0; k < K; ++k) {
    se[k] = std::sqrt(V[k * K + k]);
    bias[k] = boot ? mean[k] - theta[k] : (G - 1) * (mean[k] - theta[k]);
    ci[0][2 * k] = theta[k] - crit * se[k];
    ci[0][2 * k + 1] = theta[k] + crit * se[k];
    if (!boot) continue;
    std::vector<double> s;
    long below = 0;
    for (long r = 0; r < R; ++r) {
      const double x = reps[static_cast<size_t>(r) * K + k];
      if (!(x < misval)) continue;
      s.push_back(x);
      below += x < theta[k];
    }
    std::sort(s.begin(), s.end());
    ci[1][2 * k] = pct(s, alpha);
    ci[1][2 * k + 1] = pct(s, 1 - alpha);
    const double fb = static_cast<double>(below) / G;
    if (fb > 0 && fb < 1) {
      const double z0 = fn_invnormal(fb);
      ci[2][2 * k] = pct(s, fn_normal(2 * z0 - crit));
      ci[2][2 * k + 1] = pct(s, fn_normal(2 * z0 + crit));
    } else {
      ci[2][2 * k] = ci[2][2 * k + 1] = misval;
    }
  }
  table(boot ? "Bootstrap results" : "Jackknife results", boot ? "Bootstrap" : "Jackknife", o, nobs0, R, nfail, cmd,
        items, theta, bias, se, ci, boot);
  // e(): the observed values with the replication variance.
  std::vector<std::string> names;
  for (const RsItem& it : items) names.push_back(it.name);
  st_eclear();
  st_escalar("N", static_cast<double>(nobs0));
  st_escalar("N_reps", G);
  st_escalar("N_misreps", static_cast<double>(nfail));
  st_escalar("level", o.level);
  if (o.clustvar) st_escalar("N_clust", static_cast<double>(nunits));
  if (!boot) st_escalar("df_r", df);
  st_elocal("cmd", name);
  st_elocal("prefix", name);
  st_elocal("command", cmd.c_str());
  st_elocal("vcetype", boot ? "Bootstrap" : "Jackknife");
  for (size_t k = 0; k < K; ++k) st_elocal(("exp" + std::to_string(k + 1)).c_str(), items[k].exp.c_str());
  st_epost(names, theta, V);
  const std::vector<std::string> one{"y1"}, lu{"ll", "ul"};
  st_ematrix("bias", 1, static_cast<int>(K), bias, one, names);
  st_ematrix("se", 1, static_cast<int>(K), se, one, names);
  auto twoby = [&](const std::vector<double>& c) {
    std::vector<double> m(2 * K);
    for (size_t k = 0; k < K; ++k) m[k] = c[2 * k], m[K + k] = c[2 * k + 1];
    return m;
  };
  st_ematrix("ci_normal", 2, static_cast<int>(K), twoby(ci[0]), lu, names);
  if (boot) {
    st_ematrix("ci_percentile", 2, static_cast<int>(K), twoby(ci[1]), lu, names);
    st_ematrix("ci_bc", 2, static_cast<int>(K), twoby(ci[2]), lu, names);
  }
  return 0;
}

int cmd_bootstrap(int) { return resample(true); }
int cmd_jackknife(int) { return resample(false); }

}  // namespace

void stats_bindresample() {
  cmdbind("bootstrap", cmd_bootstrap);
  cmdbind("jackknife", cmd_jackknife);
}
