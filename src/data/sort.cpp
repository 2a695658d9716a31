// `sort`: orders observations by permuting the observation map. Data already
// in order do not move, data in descending order are reversed, anything else
// is shuffled by the sort-seed generator and then quicksorted with the last
// observation of each part as its pivot, so ties come out in an order fixed
// by the seed (or kept, with `stable`).
#include "data/sort.h"

#include <cstring>
#include <utility>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

// Keys of the running sort: variable numbers, strings flagged.
struct Key {
  int var;
  int strw;  // width of a string key, 0 for numbers
};
std::vector<Key> keys;
long polls = 0;

bool brk() { return (++polls & 0x3ff) == 0 && stopflag; }

int cmpobs(long i, long j) {
  for (const Key& k : keys) {
    if (k.strw) {
      int c = std::strncmp(reinterpret_cast<const char*>(dtaptr(k.var, i)),
                           reinterpret_cast<const char*>(dtaptr(k.var, j)), static_cast<size_t>(k.strw));
      if (c) return c < 0 ? -1 : 1;
    } else {
      double a = zelta_data(k.var, i), b = zelta_data(k.var, j);
      if (a < b) return -1;
      if (a > b) return 1;
    }
  }
  return 0;
}

// rseed = rseed x 68969 mod 2^31, as sums of masked shifts.
long nextseed() {
  const long m = 0x7fffffffL;
  ds.rseed = (((3433L * ds.rseed) & m) + ((ds.rseed << 16) & m)) & m;
  return ds.rseed;
}

// quicksort -> partition around a[hi]; sort both parts (smaller one first).
int quick(long lo, long hi) {
  while (hi > lo) {
    long i = lo - 1, j = hi;
    for (;;) {
      while (cmpobs(++i, hi) < 0) {}
      while (cmpobs(hi, --j) < 0)
        if (j == lo) break;
      if (brk()) return 1;
      if (i >= j) break;
      exch(i, j);
    }
    exch(i, hi);
    if (i - lo < hi - i) {
      if (quick(lo, i - 1)) return 1;
      lo = i + 1;
    } else {
      if (quick(i + 1, hi)) return 1;
      hi = i - 1;
    }
  }
  return 0;
}

int syssort_u(long lo, long hi) {
  if (hi <= lo) return 0;
  bool ascending = true, descending = true;
  for (long i = lo; i < hi && (ascending || descending); ++i) {
    int c = cmpobs(i, i + 1);
    if (c > 0) ascending = false;
    if (c < 0) descending = false;
    if (brk()) return 1;
  }
  if (ascending) return 0;
  if (descending) {
    for (long a = lo, b = hi; a < b; ++a, --b) exch(a, b);
    return 0;
  }
  const double spread = static_cast<double>(hi - lo);
  for (long n = lo; n <= hi; ++n) {
    long a = lo + static_cast<long>(static_cast<double>(nextseed()) / 2147483646.0 * spread + 0.5);
    long b = lo + static_cast<long>(static_cast<double>(nextseed()) / 2147483646.0 * spread + 0.5);
    if (a > hi) a = hi;
    if (b > hi) b = hi;
    exch(a, b);
    if (brk()) return 1;
  }
  return quick(lo, hi);
}

// sort varlist [in] [, stable]
int cmd_sort(int) {
  ps.vable = 1;
  ps.ifable = 3;
  ps.opable = 0;
  if (int rc = parse()) return rc;
  bool stable = findopt("stable", 6, 0) == 1;
  if (int rc = chkopt()) return rc;
  return syssort(ds.nobs1, ds.nobs2, stable);
}

}  // namespace

void exch(long i, long j) {
  std::swap(ds.mapj[i], ds.mapj[j]);
  ds.mapdirty = true;
}

void setsortseed(long seed) { ds.rseed = seed & 0x7fffffffL; }

int sortcmpr(long i, long j) {
  keys.clear();
  for (int v : vl.varlist_vr) keys.push_back({v, isstrtype(vartype(v)) ? vartype(v) : 0});
  return cmpobs(i, j);
}

int syssort(long lo, long hi, bool stable) {
  std::vector<int> vars(vl.varlist_vr);
  ds.srtlist.clear();
  int tmp = 0;
  if (stable && hi > lo) {
    if (int rc = addwrkvar(ST_LONG)) return rc;
    tmp = ds.nvar;
    for (long i = 1; i <= ds.nobs; ++i) store(tmp, i, static_cast<double>(i));
  }
  keys.clear();
  for (int v : vars) keys.push_back({v, isstrtype(vartype(v)) ? vartype(v) : 0});
  if (tmp) keys.push_back({tmp, 0});
  int rc = syssort_u(lo, hi);
  ds_applymap();  // the cells follow the map, even after a Break
  keys.clear();
  if (tmp) {
    std::vector<char> f(static_cast<size_t>(ds.nvar) + 1, 0);
    f[static_cast<size_t>(tmp)] = 1;
    bool upd = ds.updata;
    (void)dropvars_flagged(f);
    ds.updata = upd;
  }
  if (rc) {
    ds.srtlist.clear();
    return rc;
  }
  if (lo <= 1 && hi >= ds.nobs) ds.srtlist = vars;
  ds.updata = true;
  return 0;
}

void data_bindsort() { cmdbind("sort", cmd_sort); }
