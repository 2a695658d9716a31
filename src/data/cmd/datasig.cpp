// datasignature [report | set | confirm]: a short text that identifies the
// data in memory, "N:K:hash", where the hash (64-bit FNV-1a) covers every
// variable's name and storage type and every value, so that a change to
// any of them gives another signature. `set` keeps it in
// _dta[datasignature]; `confirm` checks the data against it (9 when they
// changed); `report` shows both.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "data/chars.h"
#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "results/results.h"
#include "output/rc.h"

namespace {


struct Fnv {
  uint64_t h = 1469598103934665603ULL;
  void add(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) {
      h ^= b[i];
      h *= 1099511628211ULL;
    }
  }
};

// The signature of the data in memory (the sample marker of estimation left
// out: it is bookkeeping, not data).
std::string datasig() {
  Fnv f;
  long k = 0;
  std::string s;
  for (int v = 1; v <= ds.nvar; ++v) {
    const std::string& name = varname(v);
    if (name.empty() || name == ESAMPLE_VAR) continue;
    ++k;
    const unsigned char t = static_cast<unsigned char>(vartype(v));
    f.add(name.c_str(), name.size() + 1);
    f.add(&t, 1);
    for (long i = 1; i <= ds.nobs; ++i) {
      if (isstrtype(t)) {
        szelta_data(v, i, s);
        f.add(s.c_str(), s.size() + 1);
      } else {
        double x = zelta_data(v, i) + 0.0;  // -0 and 0 are one value
        f.add(&x, sizeof x);
      }
    }
  }
  char buf[80];
  std::snprintf(buf, sizeof buf, "%ld:%ld:%016llx", ds.nobs, k, static_cast<unsigned long long>(f.h));
  return buf;
}

int cmd_datasignature(int) {
  std::string sub;
  gettoklong(sub, " ,");
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "invalid '%s'\n", peektok_chr());
  const bool report = sub.empty() || sub == "report";
  if (!report && sub != "set" && sub != "confirm")
    return errmsgf(RC_SYNTAX, "datasignature: unknown subcommand %s; use report, set or confirm\n", sub.c_str());
  const std::string now = datasig();
  const std::string* kept = charget("_dta", "datasignature");
  retval_clear();
  if (int rc = retval_set_local("datasignature", now)) return rc;
  if (sub == "set") {
    charset("_dta", "datasignature", now);
    spout21f("  %s (kept in _dta[datasignature])\n", now.c_str());
    return 0;
  }
  if (sub == "confirm") {
    if (!kept) return errmsgf(RC_NOTFOUND, "no data signature was set; datasignature set keeps one\n");
    if (*kept != now) return errmsgf(RC_REJECTED, "data have changed since the signature was set\n");
    spout21f("  (data unchanged since the signature was set)\n");
    return 0;
  }
  spout21f("  %s\n", now.c_str());
  if (kept) {
    spout21f("  %s (set earlier: the data %s)\n", kept->c_str(), *kept == now ? "are unchanged" : "have changed");
    if (int rc = retval_set_local("setsignature", *kept)) return rc;
  }
  return 0;
}

}  // namespace

void data_binddatasig() { cmdbind("datasignature", cmd_datasignature); }
