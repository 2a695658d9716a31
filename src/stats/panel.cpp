// Dense numbering of panel and cluster identifiers: one pass when the rows
// come sorted (the usual case after tsdeclare), otherwise the sorted
// distinct values and a binary search per row.
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
