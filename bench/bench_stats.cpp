// summarize and regress throughput, each beside numpy on the same values
// (Debian's python3-numpy in a child process, single-threaded BLAS like
// Zelta) and a plain C++ loop, all measured in this run:
//   summarize x (10M), summarize of 20 variables (1M), summarize x, detail
//   (10M), regress y x1-x10 (1M) against numpy's lstsq, and the robust fit
//   against the plain one.
// Usage: bench_stats [scale] [repetitions]   (scale 1 = the sizes above)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "bench_util.h"

namespace {

using bench::dump;
using bench::report;
using bench::timecmd;

bench::Rng rnd;

}  // namespace

int main(int argc, char** argv) {
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  const int reps = argc > 2 ? std::atoi(argv[2]) : 3;
  const long big = static_cast<long>(10000000 * scale), mid = static_cast<long>(1000000 * scale);
  std::string quiet;
  out_set_capture(&quiet);
  cmdinit_table();
  char dir[] = "/tmp/zelta_bench_stats_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string d = dir;
  std::printf("(2 shared cores: figures are noisy; numpy runs with one BLAS thread)\n");

  // 1 and 3: one variable of 10M observations.
  {
    ds_reset();
    if (setmemory(static_cast<uint64_t>(big) * 16 + (64 << 20))) return 1;
    if (addvar("x", ST_DOUBLE) || setobs(big)) return 1;
    std::vector<double> x(static_cast<size_t>(big));
    for (long i = 0; i < big; ++i) store(1, i + 1, x[static_cast<size_t>(i)] = rnd() * 100 - 20);
    dump(d + "/x.bin", x);
    char body[2048];
    std::snprintf(body, sizeof body,
                  "x=np.fromfile('%s/x.bin')\n"
                  "def s():\n"
                  "  return np.count_nonzero(~np.isnan(x)), x.mean(), x.std(ddof=1), x.min(), x.max()\n"
                  "print('summ', best(s, %d))\n"
                  "def sd():\n"
                  "  m=x.mean(); dv=x-m; m2=(dv*dv).mean()\n"
                  "  return np.percentile(x,[1,5,10,25,50,75,90,95,99]), np.partition(x,[3,len(x)-4]), m2, (dv**3).mean()/m2**1.5, (dv**4).mean()/m2**2, x.min(), x.max()\n"
                  "print('detail', best(sd, %d))\n",
                  dir, reps, reps);
    auto np = bench::numpy(d, body, reps);
    const double tz = timecmd("summarize x", reps);
    const double tc = bench::best([&] {
      double s = 0, mn = x[0], mx = x[0];
      long n = 0;
      for (double v : x) {
        if (v < misval) s += v, ++n, mn = std::min(mn, v), mx = std::max(mx, v);
      }
      const double m = s / static_cast<double>(n);
      double ss = 0;
      for (double v : x)
        if (v < misval) ss += (v - m) * (v - m);
      bench::sink = ss + mn + mx;
    }, reps);
    report("summarize x (10M)", tz, np["summ"], tc);
    const double tzd = timecmd("summarize x, detail", reps);
    const double tcd = bench::best([&] {
      std::vector<double> c(x);
      std::nth_element(c.begin(), c.begin() + static_cast<long>(c.size() / 2), c.end());
      bench::sink = c[c.size() / 2];
    }, reps);
    report("summarize x, detail (10M)", tzd, np["detail"], tcd);
    std::printf("%-42s (C++ loop: one nth_element on a copy)\n", "");
    std::remove((d + "/x.bin").c_str());
  }

  // 2: twenty double variables of 1M observations.
  {
    ds_reset();
    if (setmemory(static_cast<uint64_t>(mid) * 8 * 21 + (64 << 20))) return 1;
    std::vector<double> all(static_cast<size_t>(mid) * 20);
    for (int v = 0; v < 20; ++v)
      if (addvar(("v" + std::to_string(v + 1)).c_str(), ST_DOUBLE)) return 1;
    if (setobs(mid)) return 1;
    for (int v = 0; v < 20; ++v)
      for (long i = 0; i < mid; ++i)
        store(v + 1, i + 1, all[static_cast<size_t>(v) * static_cast<size_t>(mid) + static_cast<size_t>(i)] = rnd() * (v + 1));
    dump(d + "/v.bin", all);
    char body[2048];
    std::snprintf(body, sizeof body,
                  "a=np.fromfile('%s/v.bin').reshape(20,-1)\n"
                  "def s():\n"
                  "  return np.count_nonzero(~np.isnan(a),axis=1), a.mean(axis=1), a.std(axis=1,ddof=1), a.min(axis=1), a.max(axis=1)\n"
                  "print('summ20', best(s, %d))\n",
                  dir, reps);
    auto np = bench::numpy(d, body, reps);
    const double tz = timecmd("summarize v1-v20", reps);
    const double tc = bench::best([&] {
      for (int v = 0; v < 20; ++v) {
        const double* x = all.data() + static_cast<size_t>(v) * static_cast<size_t>(mid);
        double s = 0, mn = x[0], mx = x[0];
        for (long i = 0; i < mid; ++i) s += x[i], mn = std::min(mn, x[i]), mx = std::max(mx, x[i]);
        const double m = s / static_cast<double>(mid);
        double ss = 0;
        for (long i = 0; i < mid; ++i) ss += (x[i] - m) * (x[i] - m);
        bench::sink = ss + mn + mx;
      }
    }, reps);
    report("summarize v1-v20 (20 x 1M)", tz, np["summ20"], tc);
    std::remove((d + "/v.bin").c_str());
  }

  // 4 and 5: regress y x1-x10 over 1M observations.
  {
    ds_reset();
    if (setmemory(static_cast<uint64_t>(mid) * 8 * 12 + (64 << 20))) return 1;
    if (addvar("y", ST_DOUBLE)) return 1;
    for (int v = 0; v < 10; ++v)
      if (addvar(("x" + std::to_string(v + 1)).c_str(), ST_DOUBLE)) return 1;
    if (setobs(mid)) return 1;
    std::vector<double> X(static_cast<size_t>(mid) * 11);  // row-major: y, x1..x10
    for (long i = 0; i < mid; ++i) {
      double y = 1;
      for (int v = 0; v < 10; ++v) {
        const double xv = rnd() * 10;
        X[static_cast<size_t>(i) * 11 + 1 + static_cast<size_t>(v)] = xv;
        store(2 + v, i + 1, xv);
        y += (v + 1) * 0.1 * xv;
      }
      y += rnd() - 0.5;
      X[static_cast<size_t>(i) * 11] = y;
      store(1, i + 1, y);
    }
    dump(d + "/r.bin", X);
    char body[2048];
    std::snprintf(body, sizeof body,
                  "a=np.fromfile('%s/r.bin').reshape(-1,11)\n"
                  "y=np.ascontiguousarray(a[:,0]); X=np.column_stack([a[:,1:], np.ones(len(y))])\n"
                  "print('lstsq', best(lambda: np.linalg.lstsq(X, y, rcond=None), %d))\n",
                  dir, reps);
    auto np = bench::numpy(d, body, reps);
    const double tz = timecmd("quietly _regress y x1-x10", reps);
    const double tc = bench::best([&] {
      // Plain normal equations: one pass of raw cross products.
      double xtx[11][11] = {};
      for (long i = 0; i < mid; ++i) {
        const double* r = X.data() + static_cast<size_t>(i) * 11;
        for (int a = 0; a < 11; ++a)
          for (int b = 0; b <= a; ++b) xtx[a][b] += r[a] * r[b];
      }
      bench::sink = xtx[10][10];
    }, reps);
    report("regress y x1-x10 (1M) vs lstsq", tz, np["lstsq"], tc);
    std::printf("%-42s (C++ loop: raw cross products in one pass, no compensation)\n", "");
    const double tr = timecmd("quietly _regress y x1-x10, robust", reps);
    std::printf("%-42s zelta %8.1f ms | plain fit %8.1f ms (robust/plain %.2f)\n",
                "regress y x1-x10, robust (1M)", tr * 1e3, tz * 1e3, tr / tz);
    std::remove((d + "/r.bin").c_str());
  }
  std::remove(dir);
  return 0;
}
