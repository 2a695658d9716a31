// Value labels between their file form and the label store: the one place
// that reads the store's tables for a save and adds tables after a use,
// append or merge.
#include <algorithm>

#include "data/store.h"
#include "data/vlabel.h"
#include "files/dta.h"

void dtalbl_install(const std::vector<DtaLabel>& labels) {
  for (const DtaLabel& l : labels) {
    if (vlfind(l.name)) continue;  // a label already in memory is kept
    if (l.vals.size() > static_cast<size_t>(VL_MAXN)) continue;
    ValueLabel& t = vlcreate(l.name);
    t.val = l.vals;  // the file keeps them strictly ascending (checked on reading)
    t.txt = l.txts;
  }
}

void dtalbl_collect(bool orphans, const std::vector<int>& vars, std::vector<DtaLabel>& out) {
  for (const auto& [name, tab] : vls.tabs) {
    bool used = orphans;
    for (size_t k = 0; !used && k < vars.size(); ++k)
      used = !isstrtype(vartype(vars[k])) && ds.lbllist[static_cast<size_t>(vars[k])] == name;
    if (!used) continue;
    DtaLabel l;
    l.name = name;
    l.vals = tab.val;
    l.txts = tab.txt;
    out.push_back(std::move(l));
  }
}
