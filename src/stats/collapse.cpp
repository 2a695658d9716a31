// collapse: replaces the dataset by one observation per group of the by()
// variables holding statistics of the other variables:
//   collapse [(stat)] varlist [[(stat)] ...] [if] [in] [weight] [, by(varlist) cw]
// With aweights or pweights a sum is the group's observations times the
// weighted mean (the weights rescaled to sum to them) and a count the
// observations; fweights and iweights count as given.
// where an item may also be newname=varname. The statistics are computed
// first, from group codes, without sorting; only then is the dataset
// replaced, so a failure before that point leaves it as it was.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/grpacc.h"
#include "stats/grpdense.h"
#include "stats/levels.h"
#include "stats/stats.h"

namespace {

// One variable of the result.
struct Target {
  std::string stat;  // as typed: mean, p25, ...
  int kind = GS_MEAN;
  double p = 0;
  int src = 0;       // source variable
  std::string name;  // name in the result
};


// clist -> ( '(' stat ')' item {item} )+ ; stops at if, in, '[' or ','.
// Returns 0 or a code; *tail points at what follows the list.
int parseclist(const char* p, std::vector<Target>& tg, const char** tail) {
  std::string stat = "mean";
  int kind = GS_MEAN;
  double pp = 0;
  while (true) {
    while (*p == ' ') ++p;
    if (!*p || *p == '[' || *p == ',') break;
    if (*p == '(') {
      const char* e = std::strchr(p, ')');
      if (!e) return required(")");
      std::string s(p + 1, e);
      s.erase(0, s.find_first_not_of(' '));
      while (!s.empty() && s.back() == ' ') s.pop_back();
      if (!gs_lookup(s, &kind, &pp)) return errmsgf(RC_SYNTAX, "(%s) is not a statistic\n", s.c_str());
      stat = s;
      p = e + 1;
      continue;
    }
    auto wordend = [](const char* q) {
      while (*q && *q != ' ' && *q != '[' && *q != ',' && *q != '(' && *q != '=') ++q;
      return q;
    };
    const char* e = wordend(p);
    std::string word(p, e);
    if (word == "if" || word == "in") break;
    // item -> name [blanks] '=' [blanks] source | varlist word
    const char* q = e;
    while (*q == ' ') ++q;
    if (*q == '=') {
      while (*++q == ' ') {}
      e = wordend(q);
      const std::string nm = word, src(q, e);
      std::vector<int> vars;
      if (nm.empty() || src.empty()) return invalid((nm + "=" + src).c_str());
      if (int rc = st_textvars(src, vars)) return rc;
      if (vars.size() != 1) return error(RC_TOOMANYVARS);
      tg.push_back({stat, kind, pp, vars[0], nm});
    } else {
      std::vector<int> vars;
      if (int rc = st_textvars(word, vars)) return rc;
      for (int v : vars) tg.push_back({stat, kind, pp, v, varname(v)});
    }
    p = e;
  }
  *tail = p;
  return 0;
}

// The result's storage type of a target.
int resulttype(const Target& t) {
  const int st = vartype(t.src);
  switch (t.kind) {
    case GS_COUNT: return ST_LONG;
    case GS_SUM: return ST_DOUBLE;
    case GS_MIN: case GS_MAX: case GS_FIRST: case GS_LAST: case GS_FIRSTNM: case GS_LASTNM: return st;
    default: return st == ST_DOUBLE ? ST_DOUBLE : ST_FLOAT;
  }
}

// What a result variable keeps of its source.
struct VarMeta {
  std::string name;
  int type = 0;
  std::string fmt, vlab, varlab;
};

int cmd_collapse(int) {
  ParseResult pr;
  std::vector<Target> tg;
  const char* tail = nullptr;
  if (int rc = parseclist(wheretok(), tg, &tail)) return rc;
  if (tg.empty()) return required("varlist");
  settok(tail);
  if (int rc = parse({.varlist = PERM_NO, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL}, pr)) return rc;
  std::string bytext;
  const bool hasby = findargn(pr, "by", 2, bytext, 4000, 1000);
  const bool cw = findopt(pr, "cw", 2, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  std::vector<int> byvars;
  if (hasby)
    if (int rc = st_textvars(bytext, byvars)) return rc;
  for (const Target& t : tg) {
    if (isstrtype(vartype(t.src))) return errmsgf(RC_TYPEMISMATCH, "%s is a string variable: no statistics\n", varname(t.src).c_str());
    if (int rc = chkname(t.name.c_str())) return rc;
  }
  // result names must be distinct, and distinct from the by variables
  std::vector<std::string> names;
  for (int v : byvars) names.push_back(varname(v));
  for (const Target& t : tg) names.push_back(t.name);
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  const auto dup = std::adjacent_find(sorted.begin(), sorted.end());
  if (dup != sorted.end())
    return errmsgf(RC_SYNTAX, "%s appears twice in the result; name one of them with newname=varname\n", dup->c_str());
  try {
    StSample s;
    if (int rc = st_sample(s, pr)) return rc;
    const long n = s.hi >= s.lo ? s.hi - s.lo + 1 : 0;
    if (s.wkind) {
      // an observation whose weight is missing or zero is not in the sample,
      // so a group made of such observations alone does not appear
      if (s.sel.empty()) s.sel.assign(static_cast<size_t>(n), 1);
      for (long i = 0; i < n; ++i) {
        if (!s.selected(s.lo + i)) continue;
        bool use;
        if (int rc = st_checkweight(s.wkind == WK_P ? static_cast<char>(WK_A) : s.wkind, s.w[static_cast<size_t>(i)], &use)) return rc;
        if (!use) s.w[static_cast<size_t>(i)] = 0, s.sel[static_cast<size_t>(i)] = 0;
      }
    }
    if (cw) {
      if (s.sel.empty()) s.sel.assign(static_cast<size_t>(n), 1);
      for (const Target& t : tg)
        for (long i = 0; i < n; ++i)
          if (zelta_data(t.src, s.lo + i) >= misval) s.sel[static_cast<size_t>(i)] = 0;
    }
    LvCodes code;
    std::vector<long> first;
    int ng = 0;
    std::vector<std::vector<double>> fig(tg.size());
    // Means, sums and counts by one small whole-number key: the groups are
    // the key's used slots and no group codes are made (grpdense.h).
    GdKey key;
    bool dense = byvars.size() == 1 && !s.wkind && s.sel.empty() && !isstrtype(vartype(byvars[0]));
    for (const Target& t : tg) dense = dense && (t.kind == GS_MEAN || t.kind == GS_SUM || t.kind == GS_COUNT);
    std::vector<double> densekeys;
    if (dense) {
      key.var = byvars[0];
      std::vector<size_t> used;
      for (size_t k = 0; k < tg.size() && dense; ++k) {
        GdSums sums;
        if (int rc = gd_sums(key, tg[k].src, s.lo, s.hi, sums, &dense)) return rc;
        if (!dense) break;
        if (k == 0) {
          size_t nu = 0;
          for (size_t sl = 0; sl < key.nslot(); ++sl) nu += sums.obs(sl) > 0;
          used.reserve(nu), densekeys.reserve(nu);
          for (size_t sl = 0; sl < key.nslot(); ++sl)
            if (sums.obs(sl) > 0) used.push_back(sl), densekeys.push_back(gd_value(key, sl));
        }
        fig[k].reserve(used.size());
        for (size_t sl : used) {
          const double cnt = static_cast<double>(sums.n(sl));
          fig[k].push_back(tg[k].kind == GS_COUNT ? cnt
                           : tg[k].kind == GS_SUM ? sums.sum(sl)
                           : sums.n(sl) > 0       ? sums.sum(sl) / cnt
                                                  : misval);
        }
      }
      ng = static_cast<int>(used.size());
      if (!dense) {
        for (auto& f : fig) f.clear();
        densekeys.clear();
      }
    }
    if (dense) {
      // the figures are made
    } else if (byvars.empty()) {
      code.assign(static_cast<size_t>(n), -1);
      for (long i = 0; i < n; ++i)
        if (s.selected(s.lo + i)) code[static_cast<size_t>(i)] = 0;
      ng = std::find(code.begin(), code.end(), 0) != code.end() ? 1 : 0;
    } else if (int rc = lv_groups(byvars, s, code, &ng, &first)) {
      return rc;
    }
    if (ng == 0) return st_noobs();
    // the figures, all before the dataset changes
    for (size_t k = 0; k < tg.size() && !dense; ++k) {
      const int v = tg[k].src;
      const GsFetch fetch = [v](long obs, long m, double* x) { expr_gather(v, obs, m, x); };
      const bool weighted = tg[k].kind != GS_MIN && tg[k].kind != GS_MAX && tg[k].kind < GS_FIRST;
      static const std::vector<double> none;
      if (int rc = gs_compute(tg[k].kind, tg[k].p, s.lo, code, ng, fetch, weighted ? s.w : none,
                              weighted ? s.wkind : static_cast<char>(WK_NONE), fig[k], true))
        return rc;
    }
    std::vector<VarMeta> meta;
    std::vector<std::vector<double>> byn(byvars.size());
    std::vector<std::vector<std::string>> bys(byvars.size());
    for (size_t j = 0; j < byvars.size(); ++j) {
      const int v = byvars[j];
      meta.push_back({varname(v), vartype(v), ds.fmtlist[static_cast<size_t>(v)], ds.lbllist[static_cast<size_t>(v)],
                      ds.varlabels[static_cast<size_t>(v)]});
      if (dense) {
        byn[j] = std::move(densekeys);
        continue;
      }
      for (int g = 0; g < ng; ++g) {
        const long obs = s.lo + first[static_cast<size_t>(g)];
        if (isstrtype(vartype(v))) {
          std::string t;
          szelta_data(v, obs, t);
          bys[j].push_back(t);
        } else {
          byn[j].push_back(zelta_data(v, obs));
        }
      }
    }
    for (const Target& t : tg) {
      const int v = t.src;
      const bool keeps = t.kind == GS_MIN || t.kind == GS_MAX || t.kind >= GS_FIRST;
      std::string lab = ds.varlabels[static_cast<size_t>(v)];
      if (lab.empty()) lab = "(" + t.stat + ") " + varname(v);
      meta.push_back({t.name, resulttype(t), t.kind == GS_COUNT ? std::string("%8.0g") : ds.fmtlist[static_cast<size_t>(v)],
                      keeps ? ds.lbllist[static_cast<size_t>(v)] : std::string(), lab});
    }
    // Replace the dataset.
    const std::string datalbl = ds.datalbl;
    drop_all();
    for (const VarMeta& m : meta) {
      if (int rc = addvar_uninit(m.name.c_str(), m.type)) return rc;
      ds.fmtlist[static_cast<size_t>(ds.nvar)] = m.fmt;
      ds.lbllist[static_cast<size_t>(ds.nvar)] = m.vlab;
      ds.varlabels[static_cast<size_t>(ds.nvar)] = m.varlab;
    }
    if (int rc = setobs_quiet(ng)) return rc;
    for (size_t j = 0; j < byvars.size(); ++j) {
      const int v = static_cast<int>(j) + 1;
      for (int g = 0; g < ng; ++g) {
        if (isstrtype(vartype(v)))
          safe_sstore(v, g + 1, bys[j][static_cast<size_t>(g)].c_str());
        else
          store(v, g + 1, byn[j][static_cast<size_t>(g)]);
      }
    }
    for (size_t k = 0; k < tg.size(); ++k) {
      const int v = static_cast<int>(byvars.size() + k) + 1;
      col_encode(colview(v), 1, ng, fig[k].data());
    }
    ds.datalbl = datalbl;
    for (size_t j = 0; j < byvars.size(); ++j) ds.srtlist.push_back(static_cast<int>(j) + 1);
    ds.updata = true;
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return 0;
}

}  // namespace

void stats_bindcollapse() { cmdbind("collapse", cmd_collapse); }
