// Number lists: the grammar shared by `numlist`, `foreach ... of numlist`,
// `syntax` numlist options and option arguments (`1/3 10(5)20 1 3 to 9`)
// and the checks callers select. The `numlist` command is in cmd/numlist.cpp.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/value.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

constexpr size_t MAXELEMS = 10000000;  // keeps a runaway range from eating memory

int nlerr(int rc, bool single) {
  int prev = setoutlev(OUT_ERROR);
  if (single) {
    switch (rc) {
      case 121: spout21("invalid number\n"); break;
      case 122: spout21("number required\n"); break;
      case 123: spout21("single number required\n"); break;
      case 125: spout21("invalid number, outside of allowed range\n"); break;
      case 126: spout21("invalid number, noninteger value\n"); break;
      case 127: spout21("invalid number, missing not allowed\n"); break;
      default: break;
    }
  } else {
    switch (rc) {
      case 121: spout21("invalid numlist\n"); break;
      case 122: spout21("invalid numlist has too few elements\n"); break;
      case 123: spout21("invalid numlist has too many elements\n"); break;
      case 124: spout21("invalid numlist has elements out of order\n"); break;
      case 125: spout21("invalid numlist has elements outside of allowed range\n"); break;
      case 126: spout21("invalid numlist has noninteger elements\n"); break;
      case 127: spout21("invalid numlist has missing values\n"); break;
      default: break;
    }
  }
  setoutlev(prev);
  return rc;
}

const char* blanks(const char* p) {
  while (*p == ' ' || *p == ',') ++p;
  return p;
}

bool number(const char*& p, double& v) {
  while (*p == ' ') ++p;
  if (*p == '.' && !(p[1] >= '0' && p[1] <= '9')) {
    ++p;
    v = misval;
    if (*p >= 'a' && *p <= 'z') v = misval_k(*p++ - 'a' + 1);
    return true;
  }
  char* e;
  v = std::strtod(p, &e);
  if (e == p) return false;
  // a number must end at a separator of the grammar
  p = e;
  return true;
}

// Appends from, from+step, ... while not past to.
bool range(std::vector<double>& out_, double from, double step, double to) {
  if (step == 0 || from >= misval || to >= misval || step >= misval) return false;
  if ((to - from) * step < 0) return false;
  for (long k = 0;; ++k) {
    double v = from + static_cast<double>(k) * step;
    if (step > 0 ? v > to + std::fabs(step) * 1e-12 : v < to - std::fabs(step) * 1e-12) break;
    out_.push_back(v);
    if (out_.size() > MAXELEMS) return false;
  }
  return true;
}

}  // namespace

int numlist_expand(const char* text, const NumlistSpec& rule, std::vector<double>& nums, bool single) {
  nums.clear();
  const char* p = blanks(text);
  while (*p) {
    double a;
    if (!number(p, a)) return nlerr(RC_NUMLIST, single);
    const char* after = p;
    while (*p == ' ') ++p;
    if (*p == '/') {
      ++p;
      double b;
      if (!number(p, b) || a >= misval) return nlerr(RC_NUMLIST, single);
      if (!range(nums, a, b >= a ? 1 : -1, b)) return nlerr(RC_NUMLIST, single);
    } else if (*p == '(' || *p == '[') {
      const char close = *p == '(' ? ')' : ']';
      ++p;
      double d, b;
      if (!number(p, d)) return nlerr(RC_NUMLIST, single);
      while (*p == ' ') ++p;
      if (*p != close) return nlerr(RC_NUMLIST, single);
      ++p;
      if (!number(p, b) || !range(nums, a, d, b)) return nlerr(RC_NUMLIST, single);
    } else if (*p == ':' || (p[0] == 't' && p[1] == 'o' && (p[2] == ' ' || (p[2] >= '0' && p[2] <= '9') || p[2] == '-' || p[2] == '.'))) {
      p += *p == ':' ? 1 : 2;
      double c;
      if (nums.empty() || !number(p, c)) return nlerr(RC_NUMLIST, single);
      const double step = a - nums.back();
      if (!range(nums, a, step, c)) return nlerr(RC_NUMLIST, single);
    } else {
      if (*after && *after != ' ' && *after != ',') return nlerr(RC_NUMLIST, single);
      nums.push_back(a);
    }
    p = blanks(p);
  }
  const int n = static_cast<int>(nums.size());
  if (n < rule.min || (single && n == 0)) return nlerr(RC_NUMLIST_TOOFEW, single);
  if (rule.max >= 0 && n > rule.max) return nlerr(RC_NUMLIST_TOOMANY, single);
  for (int i = 0; i < n; ++i) {
    const double v = nums[static_cast<size_t>(i)];
    if (v >= misval) {
      if (!(rule.flags & NL_MISSOK)) return nlerr(RC_NUMLIST_MISSING, single);
      continue;
    }
    if ((rule.flags & NL_INTEGER) && v != std::floor(v)) return nlerr(RC_NUMLIST_NONINT, single);
    if (v < rule.lo || v > rule.hi || (rule.lostrict && v == rule.lo) || (rule.histrict && v == rule.hi))
      return nlerr(RC_NUMLIST_RANGE, single);
    if (i > 0) {
      const double u = nums[static_cast<size_t>(i) - 1];
      if ((rule.flags & NL_ASCEND) && v < u) return nlerr(RC_NUMLIST_ORDER, single);
      if ((rule.flags & NL_DESCEND) && v > u) return nlerr(RC_NUMLIST_ORDER, single);
    }
  }
  if (rule.flags & NL_SORT) std::sort(nums.begin(), nums.end());
  return 0;
}

void numlist_text(const std::vector<double>& nums, std::string& text) {
  text.clear();
  std::string one;
  for (size_t i = 0; i < nums.size(); ++i) {
    if (i) text.push_back(' ');
    macfmtnum(nums[i], one);
    text += one;
  }
}

// Reads a range limit text such as ">=0 <100" into rule. False when bad.
bool numlist_range(const std::string& t, NumlistSpec& rule) {
  const char* p = t.c_str();
  while (true) {
    while (*p == ' ') ++p;
    if (!*p) return true;
    bool ge = false, le = false, strict = false;
    if (p[0] == '>' && p[1] == '=') ge = true, p += 2;
    else if (p[0] == '<' && p[1] == '=') le = true, p += 2;
    else if (p[0] == '>') ge = strict = true, ++p;
    else if (p[0] == '<') le = strict = true, ++p;
    else return false;
    char* e;
    double v = std::strtod(p, &e);
    if (e == p) return false;
    p = e;
    if (ge) rule.lo = v, rule.lostrict = strict;
    if (le) rule.hi = v, rule.histrict = strict;
  }
}
