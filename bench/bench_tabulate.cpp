// Tables and group statistics beside numpy on the same values (Debian's
// python3-numpy in a child process) and a plain C++ loop, measured in this run:
//   tabulate g: 10M observations, 1,000 distinct integers, against
//   np.unique(g, return_counts=True);
//   group means of y by g: 10M observations, 100,000 groups, into a new
//   variable (grpstat) and into a new dataset (collapse), against bincount;
//   the same and group standard deviations against pandas' groupby, each on
//   both cores and on one (the by-group passes split long data in halves).
// Usage: bench_tabulate [scale] [repetitions]   (scale 1 = the sizes above)
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>
#include <unistd.h>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "stats/chunks.h"
#include "bench_util.h"

namespace {

using bench::report;
using bench::timecmd;

bench::Rng rng;
uint64_t rnd64() { return rng.next(); }

}  // namespace

int main(int argc, char** argv) {
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  const int reps = argc > 2 ? std::atoi(argv[2]) : 3;
  const long n = static_cast<long>(10000000 * scale);
  // Output is rendered (the table is part of the command's work) but goes
  // to no destination, as in batch mode without a log.
  out_set_capture(nullptr);
  out_console_enable(false);
  cmdinit_table();
  char dir[] = "/tmp/zelta_bench_tab_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string d = dir;
  std::printf("(2 shared cores: figures are noisy)\n");
  ds_reset();
  if (setmemory(static_cast<uint64_t>(n) * 40 + (64 << 20))) return 1;
  if (addvar("g", ST_LONG) || addvar("h", ST_LONG) || addvar("y", ST_DOUBLE) || setobs(n)) return 1;
  std::vector<int64_t> g(static_cast<size_t>(n)), h(static_cast<size_t>(n));
  std::vector<double> y(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i) {
    const size_t k = static_cast<size_t>(i);
    g[k] = static_cast<int64_t>(rnd64() % 1000);
    h[k] = static_cast<int64_t>(rnd64() % 100000);
    y[k] = static_cast<double>(rnd64() >> 11) * 0x1p-53;
    store(1, i + 1, static_cast<double>(g[k]));
    store(2, i + 1, static_cast<double>(h[k]));
    store(3, i + 1, y[k]);
  }
  using bench::dump;
  dump(d + "/g.bin", g.data(), g.size() * 8);
  dump(d + "/h.bin", h.data(), h.size() * 8);
  dump(d + "/y.bin", y.data(), y.size() * 8);
  char body[2048];
  std::snprintf(body, sizeof body,
                "g=np.fromfile('%s/g.bin',dtype=np.int64)\n"
                "h=np.fromfile('%s/h.bin',dtype=np.int64)\n"
                "y=np.fromfile('%s/y.bin')\n"
                "print('tab', best(lambda: np.unique(g, return_counts=True), %d))\n"
                "def gm():\n"
                "  c=np.bincount(h); s=np.bincount(h, weights=y); m=s/c\n"
                "  return m[h]\n"
                "print('gmvar', best(gm, %d))\n"
                "def gd():\n"
                "  c=np.bincount(h); s=np.bincount(h, weights=y); k=np.nonzero(c)[0]\n"
                "  return k, s[k]/c[k]\n"
                "print('gmdata', best(gd, %d))\n"
                "try:\n"
                "  import pandas as pd\n"
                "  df=pd.DataFrame({'h':h,'y':y})\n"
                "  print('pdvar', best(lambda: df.groupby('h')['y'].transform('mean'), %d))\n"
                "  print('pddata', best(lambda: df.groupby('h')['y'].mean(), %d))\n"
                "  print('pdsd', best(lambda: df.groupby('h')['y'].std(), %d))\n"
                "except ImportError:\n"
                "  pass\n",
                dir, dir, dir, reps, reps, reps, reps, reps, reps);
  auto np = bench::numpy(d, body, reps);

  const double tz = timecmd("tabulate g", reps);
  const double tc = bench::best([&] {
    std::vector<long> cnt(1000, 0);
    for (int64_t v : g) ++cnt[static_cast<size_t>(v)];
    bench::sink = static_cast<double>(cnt[7]);
  }, reps);
  report("tabulate g (10M, 1,000 values)", tz, np["tab"], tc);

  auto meanloop = [&](bool pervar) {
    std::vector<double> s(100000, 0);
    std::vector<long> c(100000, 0);
    for (size_t i = 0; i < h.size(); ++i) s[static_cast<size_t>(h[i])] += y[i], ++c[static_cast<size_t>(h[i])];
    if (pervar) {
      std::vector<double> m(h.size());
      for (size_t i = 0; i < h.size(); ++i) m[i] = s[static_cast<size_t>(h[i])] / static_cast<double>(c[static_cast<size_t>(h[i])]);
      bench::sink = m[5];
    } else {
      bench::sink = s[5] / static_cast<double>(c[5]);
    }
  };
  // The first run is timed apart: the first new variable widens the
  // store's records (every column moves) whatever command makes it.
  const double t0 = bench::wall();
  bench::run("grpstat m = mean(y), by(h)");
  const double tfirst = bench::wall() - t0;
  const double tv = timecmd("grpstat m = mean(y), by(h)", reps, "capture drop m");
  report("group means into a variable (10M, 100,000)", tv, np["gmvar"], bench::best([&] { meanloop(true); }, reps));
  report("  the first one (widening the records)", tfirst, np["gmvar"], 0);
  if (execline("preserve") == 0) {
    const double td = timecmd("collapse (mean) y, by(h)", reps, "restore, preserve");
    report("group means into a dataset (10M, 100,000)", td, np["gmdata"], bench::best([&] { meanloop(false); }, reps));
    bench::run("restore");
  }
  // Against pandas' groupby on the same columns, on both cores and on one.
  const long parmin = stchunk.parmin;
  auto pandas = [&](const char* what, const std::string& cmd, const std::string& setup, double tp) {
    stchunk.parmin = parmin;
    const double t2 = timecmd(cmd, reps, setup);
    stchunk.parmin = LONG_MAX;
    const double t1 = timecmd(cmd, reps, setup);
    stchunk.parmin = parmin;
    std::printf("%-42s zelta %8.1f ms (one core %8.1f ms, %.2f of it)", what, t2 * 1e3, t1 * 1e3, t2 / t1);
    if (tp > 0)
      std::printf(" | pandas %8.1f ms (zelta/pandas %.2f, one core %.2f)\n", tp * 1e3, t2 / tp, t1 / tp);
    else
      std::printf(" | pandas n/a\n");
  };
  bench::run("capture drop m");
  pandas("group means into a variable, pandas", "grpstat m = mean(y), by(h)", "capture drop m", np["pdvar"]);
  if (execline("preserve") == 0) {
    pandas("group means into a dataset, pandas", "collapse (mean) y, by(h)", "restore, preserve", np["pddata"]);
    pandas("group sds into a dataset, pandas", "collapse (sd) y, by(h)", "restore, preserve", np["pdsd"]);
    bench::run("restore");
  }
  std::remove((d + "/g.bin").c_str());
  std::remove((d + "/h.bin").c_str());
  std::remove((d + "/y.bin").c_str());
  rmdir(dir);
  return 0;
}
