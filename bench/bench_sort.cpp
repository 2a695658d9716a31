// Sorting and by-group throughput on ten million observations: `sort x` of
// uniform doubles, `sort x, stable`, a three-key sort (long, str8, double),
// a sort of data already in order, a tie-heavy integer key, and
// `by g: generate n = _n` over 100,000 groups beside the same generate
// without by. Each is set beside numpy (Debian's python3-numpy, a child
// process on the same values) and a plain C++ std::sort / loop, all measured
// in this run. Usage: bench_sort [observations] [repetitions]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "bench_util.h"

namespace {

using bench::timecmd;

std::map<std::string, double> numpy_times(const std::string& dir, int reps) {
  char body[2048];
  std::snprintf(body, sizeof body,
               "d='%s'\n"
               "x=np.fromfile(d+'/x.bin'); a=np.fromfile(d+'/a.bin', dtype=np.int32)\n"
               "s=np.fromfile(d+'/s.bin', dtype='S8'); k=np.fromfile(d+'/k.bin', dtype=np.int16)\n"
               "print('sort', best(lambda: np.sort(x)))\n"
               "def stable():\n"
               "  o=np.argsort(x, kind='stable'); return x[o]\n"
               "print('stable', best(stable))\n"
               "def three():\n"
               "  o=np.lexsort((x, s, a)); return (a[o], s[o], x[o])\n"
               "print('three', best(three))\n"
               "xs=np.sort(x)\n"
               "print('sorted', best(lambda: np.sort(xs)))\n"
               "print('ties', best(lambda: np.sort(k)))\n"
               "g=np.repeat(np.arange(100000), len(x)//100000)\n"
               "def byn():\n"
               "  st=np.r_[0, np.flatnonzero(np.diff(g))+1]; sz=np.diff(np.r_[st, len(g)])\n"
               "  return np.arange(len(g)) - np.repeat(st, sz) + 1\n"
               "print('byn', best(byn))\n",
               dir.c_str());
  return bench::numpy(dir, body, reps);
}

void report(const char* what, long n, double tz, double tn, double tc, const char* target = nullptr) {
  bench::report(what, tz, tn, tc, n, "C++", target);
}

}  // namespace

int main(int argc, char** argv) {
  long n = argc > 1 ? std::atol(argv[1]) : 10000000L;
  int reps = argc > 2 ? std::atoi(argv[2]) : 3;
  n -= n % 100000;
  if (n < 100000) n = 100000;
  std::string quiet;
  out_set_capture(&quiet);
  cmdinit_table();
  ds_reset();
  if (setmemory(static_cast<uint64_t>(n) * 80 + (64 << 20))) return 1;
  // x double, a long, s str8, k int, g long (groups of n/100000 in order).
  if (addvar("x", ST_DOUBLE) || addvar("a", ST_LONG) || addvar("s", 8) || addvar("k", ST_INT) ||
      addvar("g", ST_LONG))
    return 1;
  if (setobs_quiet(n)) return 1;
  std::vector<double> x(static_cast<size_t>(n));
  std::vector<int32_t> a(static_cast<size_t>(n));
  std::vector<int16_t> k(static_cast<size_t>(n));
  std::vector<char> s(static_cast<size_t>(n) * 8);
  bench::Rng rng;
  auto rnd = [&] { return rng.next(); };
  for (size_t i = 0; i < x.size(); ++i) {
    x[i] = static_cast<double>(rnd() >> 11) * 0x1p-53;
    a[i] = static_cast<int32_t>(rnd() % 1000);
    k[i] = static_cast<int16_t>(rnd() % 1000);
    for (int c = 0; c < 8; ++c) s[i * 8 + static_cast<size_t>(c)] = static_cast<char>('a' + rnd() % 4);
  }
  const long gsize = n / 100000;
  auto load = [&] {
    for (long i = 1; i <= n; ++i) {
      size_t j = static_cast<size_t>(i - 1);
      store(1, i, x[j]);
      store(2, i, a[j]);
      std::memcpy(dtaptr(3, i), &s[j * 8], 8);
      store(4, i, k[j]);
      store(5, i, static_cast<double>((i - 1) / gsize));
    }
    ds.srtlist.clear();
  };
  char dir[] = "/tmp/zelta_bench_sort_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  auto dump = [&](const char* name, const void* p, size_t bytes) { bench::dump(std::string(dir) + "/" + name, p, bytes); };
  dump("x.bin", x.data(), x.size() * 8);
  dump("a.bin", a.data(), a.size() * 4);
  dump("s.bin", s.data(), s.size());
  dump("k.bin", k.data(), k.size() * 2);
  auto np = numpy_times(dir, reps);
  auto npt = [&](const char* key) { return np.count(key) ? np[key] : 0.0; };
  std::printf("%ld observations, best of %d; the machine is shared, so figures are noisy\n", n, reps);

  std::vector<double> xc;
  double tz = timecmd("sort x", reps, load);
  double tc = bench::best([&] { xc = x; std::sort(xc.begin(), xc.end()); bench::sink = xc[0]; }, reps);
  report("sort x", n, tz, npt("sort"), tc, "numpy 0.5");

  tz = timecmd("sort x, stable", reps, load);
  tc = bench::best([&] { xc = x; std::stable_sort(xc.begin(), xc.end()); bench::sink = xc[0]; }, reps);
  report("sort x, stable", n, tz, npt("stable"), tc);

  tz = timecmd("sort a s x", reps, load);
  std::vector<uint32_t> o(static_cast<size_t>(n));
  tc = bench::best([&] {
    std::iota(o.begin(), o.end(), 0u);
    std::sort(o.begin(), o.end(), [&](uint32_t p, uint32_t q) {
      if (a[p] != a[q]) return a[p] < a[q];
      int c = std::memcmp(&s[p * 8], &s[q * 8], 8);
      if (c) return c < 0;
      return x[p] < x[q];
    });
    bench::sink = o[0];
  }, reps);
  report("sort a s x (long, str8, double)", n, tz, npt("three"), tc);

  load();
  (void)execline("sort x");
  tz = timecmd("sort x", reps);
  tc = bench::best([&] {
    bool in = true;
    for (size_t i = 1; i < xc.size(); ++i) in &= xc[i - 1] <= xc[i];
    bench::sink = in;
  }, reps);
  report("sort x (already in order)", n, tz, npt("sorted"), tc);

  tz = timecmd("sort k", reps, load);
  std::vector<int16_t> kc;
  tc = bench::best([&] { kc = k; std::sort(kc.begin(), kc.end()); bench::sink = kc[0]; }, reps);
  report("sort k (int, 1000 values: ties)", n, tz, npt("ties"), tc);

  load();
  (void)execline("sort g");
  double tplain = timecmd("generate long n = _n", reps, "capture drop n");
  tz = timecmd("by g: generate long n = _n", reps, "capture drop n");
  std::vector<int32_t> nc(static_cast<size_t>(n));
  tc = bench::best([&] {
    for (long i = 0; i < n; ++i) nc[static_cast<size_t>(i)] = static_cast<int32_t>(i % gsize + 1);
    bench::sink = nc[5];
  }, reps);
  report("by g: generate long n = _n", n, tz, npt("byn"), tc);
  std::printf("%-42s (generate long n = _n without by: %.1f ms; by/plain %.2f)\n", "", tplain * 1e3, tz / tplain);

  for (const char* f : {"x.bin", "a.bin", "s.bin", "k.bin", "bench.py"}) std::remove((std::string(dir) + "/" + f).c_str());
  std::remove(dir);
  return 0;
}
