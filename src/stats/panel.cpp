// Dense numbering of panel and cluster identifiers: one pass when the rows
// come sorted (the usual case after tsdeclare), otherwise the sorted
// distinct values and a binary search per row. Also the weights' scaling and
// the check that they are constant within panels.
#include "stats/panel.h"

#include <algorithm>

int pn_dense(const std::vector<double>& v, std::vector<int>& id) {
  const size_t n = v.size();
  id.assign(n, 0);
  if (n == 0) return 0;
  bool sorted = true;
  for (size_t i = 1; i < n && sorted; ++i) sorted = v[i - 1] <= v[i];
  if (sorted) {
    int g = 0;
    for (size_t i = 1; i < n; ++i) {
      if (v[i] != v[i - 1]) ++g;
      id[i] = g;
    }
    return g + 1;
  }
  std::vector<double> u(v);
  std::sort(u.begin(), u.end());
  u.erase(std::unique(u.begin(), u.end()), u.end());
  for (size_t i = 0; i < n; ++i) id[i] = static_cast<int>(std::lower_bound(u.begin(), u.end(), v[i]) - u.begin());
  return static_cast<int>(u.size());
}

void pn_scaleweights(char kind, std::vector<double>& w) {
  if (w.empty() || (kind != 'a' && kind != 'p')) return;
  double s = 0;
  for (double v : w) s += v;
  const double f = static_cast<double>(w.size()) / s;
  for (double& v : w) v *= f;
}

bool pn_constwithin(const std::vector<double>& w, const std::vector<int>& gid) {
  std::vector<double> first;
  std::vector<unsigned char> seen;
  for (size_t i = 0; i < w.size(); ++i) {
    const size_t g = static_cast<size_t>(gid[i]);
    if (g >= seen.size()) first.resize(g + 1), seen.resize(g + 1, 0);
    if (!seen[g]) seen[g] = 1, first[g] = w[i];
    else if (first[g] != w[i]) return false;
  }
  return true;
}
