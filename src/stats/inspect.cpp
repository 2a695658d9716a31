// inspect: a look at each variable's values: how many are negative, zero
// and positive, integers or not, missing; a small text histogram over the
// range; the number of distinct values and how many of them the variable's
// value label covers. The figures come from the distinct values and their
// counts (levels.cpp), so a variable costs one coding pass.
//   inspect [varlist] [if] [in]
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "data/by.h"
#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/levels.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// The histogram: HBINS bars over the range of the values, HROWS rows tall,
// each bar HSTEP columns from the last, in a field of HWIDTH columns.
constexpr int HBINS = 5, HROWS = 5, HSTEP = 4, HWIDTH = 22;
// The counts stand right of the histogram: a label of LABW columns from
// column LEFT - LABW, then three columns of COLW.
constexpr int LABW = 10, LEFT = HWIDTH + 2 + LABW, COLW = 14;

// The counts of one numeric variable over the sample.
struct Counts {
  double neg = 0, zero = 0, pos = 0;  // non-missing values by sign
  double negint = 0, posint = 0;      // ... of them integers
  double miss = 0;                    // missing values
  double nuniq = 0;                   // distinct non-missing values
  double lo = 0, hi = 0;              // their range
  double bin[HBINS] = {};             // values in each fifth of the range
  double N() const { return neg + zero + pos; }
  double ints() const { return negint + zero + posint; }
};

void tally(const Levels& lv, const std::vector<double>& f, Counts& c) {
  bool any = false;
  for (int k = 0; k < lv.n(); ++k) {
    const double x = lv.vals[static_cast<size_t>(k)], n = f[static_cast<size_t>(k)];
    if (x >= misval) {
      c.miss += n;
      continue;
    }
    const bool isint = x == std::floor(x);
    if (x < 0) c.neg += n, c.negint += isint ? n : 0;
    else if (x == 0) c.zero += n;
    else c.pos += n, c.posint += isint ? n : 0;
    ++c.nuniq;
    if (!any) c.lo = x;
    c.hi = x;
    any = true;
  }
  if (!any) return;
  const double range = c.hi - c.lo;
  for (int k = 0; k < lv.n(); ++k) {
    const double x = lv.vals[static_cast<size_t>(k)];
    if (x >= misval) continue;
    int b = range > 0 ? static_cast<int>(std::floor((x - c.lo) / range * HBINS)) : 0;
    c.bin[std::clamp(b, 0, HBINS - 1)] += f[static_cast<size_t>(k)];
  }
}

// Row r (HROWS at the top .. 1 at the bottom) of the histogram: `#` where a
// bar reaches the row in whole fifths of the tallest, `.` where its last part
// falls short of a whole fifth.
std::string histrow(const Counts& c, int r) {
  double top = 0;
  for (double b : c.bin) top = std::max(top, b);
  std::string row(HWIDTH, ' ');
  row[0] = '|';
  if (top <= 0) return row;
  for (int k = 0; k < HBINS; ++k) {
    const double scaled = c.bin[k] * HROWS / top;
    const int whole = static_cast<int>(std::floor(scaled));
    char ch = ' ';
    if (r <= whole) ch = '#';
    else if (r == whole + 1 && c.bin[k] > 0 && scaled > whole) ch = '.';
    row[static_cast<size_t>(3 + HSTEP * k)] = ch;
  }
  return row;
}

// A count in a 14-column field; `-` for none.
std::string cnt(double x) {
  std::string t = x == 0 ? std::string("-") : std::string(sreforms("%11.0g", x));
  while (!t.empty() && t[0] == ' ') t.erase(0, 1);
  return std::string(t.size() < COLW ? COLW - t.size() : 0, ' ') + t;
}

std::string trimmed(const char* t) {
  std::string s = t;
  s.erase(0, s.find_first_not_of(' '));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The first two lines: the variable's name and label on the left, the
// heading of the counts on the right.
void header(int v) {
  std::string left = varname(v) + ":  " + ds.varlabels[static_cast<size_t>(v)];
  const size_t maxw = LEFT - 2;
  if (left.size() > maxw) left.resize(maxw);
  while (!left.empty() && left.back() == ' ') left.pop_back();
  spoutsml("\n{txt}");
  spoutnosml(left.c_str());
  // the heading centred over the three columns
  const int head = 22, pad = LEFT + (3 * COLW - head) / 2;
  dupblnk(pad - static_cast<int>(left.size()));
  spoutsml("Number of observations\n");
  spoutsmlf("{hline %d}", static_cast<int>(left.size()));
  dupblnk(LEFT + 3 - static_cast<int>(left.size()));
  spoutsmlf("{hline %d}\n", 3 * COLW - 3);
}

// Prints one numeric variable's table.
void show(int v, const Counts& c) {
  header(v);
  const std::string rule = "   {hline 11}";
  // label column, then the three counts of each line
  struct Line {
    const char* label;
    std::string cols;
  };
  const Line lines[HROWS] = {
      {"Negative", cnt(c.neg) + cnt(c.negint) + cnt(c.neg - c.negint)},
      {"Zero", cnt(c.zero) + cnt(c.zero) + cnt(0)},
      {"Positive", cnt(c.pos) + cnt(c.posint) + cnt(c.pos - c.posint)},
      {"", rule + rule + rule},
      {"Total", cnt(c.N()) + cnt(c.ints()) + cnt(c.N() - c.ints())},
  };
  spoutsml("{txt}");
  dupblnk(LEFT);
  spoutsml("         Total      Integers   Nonintegers\n");
  for (int r = HROWS; r >= 1; --r) {
    const Line& l = lines[HROWS - r];
    spoutsml("{txt}");
    spoutnosml(histrow(c, r).c_str());
    std::string lab = "  " + std::string(l.label);
    lab.resize(LEFT - HWIDTH, ' ');
    spoutnosml(lab.c_str());
    spoutsml(l.label[0] ? "{res}" : "{txt}");
    spoutsml(l.cols.c_str());
    spoutsml("\n");
  }
  spoutsmlf("{txt}+{hline %d}  Missing   {res}", HWIDTH - 1);
  spoutnosml(cnt(c.miss).c_str());
  spoutsml("\n{txt}");
  std::string axis(LEFT, ' ');
  if (c.N() > 0) {
    const std::string lo = trimmed(sreforms("%9.0g", c.lo)), hi = trimmed(sreforms("%9.0g", c.hi));
    axis.replace(0, lo.size(), lo);
    if (c.hi > c.lo && hi.size() + lo.size() < HWIDTH)
      axis.replace(HWIDTH - hi.size(), hi.size(), hi);
  }
  spoutnosml(axis.c_str());
  spoutsml("   {hline 11}\n");
  dupblnk(LEFT);
  spoutsml("{res}");
  spoutnosml(cnt(c.N() + c.miss).c_str());
  spoutsml("\n");
}

// The distinct values of lv that v's value label gives a text to, or `.`
// when v has no value label (a label that is not defined covers none).
double covered(int v, const Levels& lv) {
  const std::string& ln = ds.lbllist[static_cast<size_t>(v)];
  if (ln.empty()) return misval;
  const ValueLabel* lab = vlfind(ln);
  double n = 0;
  for (int k = 0; k < lv.n(); ++k) {
    const double x = lv.vals[static_cast<size_t>(k)];
    if (x < misval && lab && vltext(*lab, x)) ++n;
  }
  return n;
}

// The line on distinct values and the value label's coverage.
void uniqline(int v, const Counts& c, double cov) {
  std::string t = "  (" + trimmed(sreforms("%12.0fc", c.nuniq)) + " unique value" + (c.nuniq == 1 ? "" : "s");
  if (cov < misval)
    t += "; value label " + ds.lbllist[static_cast<size_t>(v)] + " covers " + trimmed(sreforms("%12.0fc", cov)) +
         " of them";
  t += ")\n";
  spoutsml("{txt}");
  spoutnosml(t.c_str());
}

int inspectvar(int v, const StSample& s) {
  Levels lv;
  std::vector<double> f;
  if (int rc = lv_code(v, -1, s, true, lv, nullptr, &f)) return rc;
  st_rclear();
  if (lv.isstr) {
    double n = 0, empty = 0;
    for (int k = 0; k < lv.n(); ++k) (lv.svals[static_cast<size_t>(k)].empty() ? empty : n) += f[static_cast<size_t>(k)];
    const double nuniq = static_cast<double>(lv.n()) - (lv.n() && lv.svals[0].empty() ? 1 : 0);
    if (out.s_outlev <= OUT_RESULT) {
      header(v);
      spoutsmlf("{txt}  string variable: {res}%s{txt} non-empty, {res}%s{txt} empty, {res}%s{txt} unique value%s\n",
                trimmed(sreforms("%12.0fc", n)).c_str(), trimmed(sreforms("%12.0fc", empty)).c_str(),
                trimmed(sreforms("%12.0fc", nuniq)).c_str(), nuniq == 1 ? "" : "s");
    }
    st_rscalar("N", n);
    st_rscalar("N_unique", nuniq);
    return 0;
  }
  Counts c;
  tally(lv, f, c);
  const double cov = covered(v, lv);
  if (out.s_outlev <= OUT_RESULT) {
    show(v, c);
    uniqline(v, c, cov);
  }
  st_rscalar("N", c.N());
  st_rscalar("N_neg", c.neg);
  st_rscalar("N_0", c.zero);
  st_rscalar("N_pos", c.pos);
  st_rscalar("N_negint", c.negint);
  st_rscalar("N_posint", c.posint);
  st_rscalar("N_unique", c.nuniq);
  if (cov < misval) st_rscalar("N_undoc", c.nuniq - cov);
  return 0;
}

// inspect [varlist] [if] [in]
int cmd_inspect(int) {
  ParseResult pr;
  if (int rc = parse({.by = PERM_OPTIONAL}, pr)) return rc;
  std::vector<int> vars;
  if (pr.hasvarlist) {
    for (int e = 0; e < vl.lnvar(); ++e)
      if (!st_plainentry(e)) return error(RC_MSG_TSOPS);
    vars = vl.varlist_vr;
  } else {
    for (int v = 1; v <= ds.nvar; ++v)
      if (!varname(v).empty() && varname(v) != "(e)") vars.push_back(v);
  }
  try {
    StSample s;
    if (int rc = st_sample(s, pr)) return rc;
    for (int v : vars) {
      if (stopflag) return 1;
      if (int rc = inspectvar(v, s)) return rc;
    }
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return 0;
}

}  // namespace

void stats_bindinspect() {
  cmdbind("inspect", cmd_inspect);
  by_allow("inspect", true);
}
