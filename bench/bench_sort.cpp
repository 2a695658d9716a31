// Sorting and by-group throughput on ten million observations: `sort x` of
// uniform doubles, `sort x, stable`, a three-key sort (long, str8, double),
// a sort of data already in order, a tie-heavy integer key, and
// `by g: generate n = _n` over 100,000 groups beside the same generate
// without by. Each is set beside numpy (Debian's python3-numpy, a child
// process on the same values) and a plain C++ std::sort / loop, all measured
// in this run. Usage: bench_sort [observations] [repetitions]
#include <algorithm>
#include <chrono>
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

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

volatile double sink;

// Best of reps runs of a command, each preceded by setup() (untimed).
template <class S>
double timecmd(const std::string& cmd, S setup, int reps) {
  double best = 1e30;
  for (int r = 0; r < reps; ++r) {
    setup();
    double t0 = now();
    int rc = execline(cmd);
    double t = now() - t0;
    if (rc) {
      std::fprintf(stderr, "command failed (r(%d)): %s\n", rc, cmd.c_str());
      std::exit(1);
    }
    best = std::min(best, t);
  }
  return best;
}

template <class F>
double timeloop(F f, int reps) {
  double best = 1e30;
  for (int r = 0; r < reps; ++r) {
    double t0 = now();
    f();
    best = std::min(best, now() - t0);
  }
  return best;
}

std::map<std::string, double> numpy_times(const std::string& dir, int reps) {
  std::string py = dir + "/bench.py";
  std::FILE* f = std::fopen(py.c_str(), "w");
  if (!f) return {};
  std::fprintf(f,
               "import time, numpy as np\n"
               "reps=%d; d='%s'\n"
               "x=np.fromfile(d+'/x.bin'); a=np.fromfile(d+'/a.bin', dtype=np.int32)\n"
               "s=np.fromfile(d+'/s.bin', dtype='S8'); k=np.fromfile(d+'/k.bin', dtype=np.int16)\n"
               "def best(fn):\n"
               "  b=1e30\n"
               "  for r in range(reps):\n"
               "    t0=time.perf_counter(); fn(); b=min(b, time.perf_counter()-t0)\n"
               "  return b\n"
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
               reps, dir.c_str());
  std::fclose(f);
  std::string cmd = "/usr/bin/python3 " + py + " 2>/dev/null";
  std::map<std::string, double> r;
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char name[64];
  double t;
  while (std::fscanf(p, "%63s %lf", name, &t) == 2) r[name] = t;
  pclose(p);
  return r;
}

void report(const char* what, long n, double tz, double tn, double tc) {
  std::printf("%-34s zelta %8.1f ms %6.1f Mobs/s", what, tz * 1e3, n / tz / 1e6);
  if (tn > 0)
    std::printf(" | numpy %8.1f ms (zelta/numpy %.2f)", tn * 1e3, tz / tn);
  else
    std::printf(" | numpy n/a");
  std::printf(" | C++ %8.1f ms (zelta/C++ %.2f)\n", tc * 1e3, tz / tc);
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
  uint64_t st = 88172645463325252ULL;
  auto rnd = [&] {
    st ^= st << 13, st ^= st >> 7, st ^= st << 17;
    return st;
  };
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
  auto dump = [&](const char* name, const void* p, size_t bytes) {
    std::FILE* f = std::fopen((std::string(dir) + "/" + name).c_str(), "wb");
    if (f) std::fwrite(p, 1, bytes, f), std::fclose(f);
  };
  dump("x.bin", x.data(), x.size() * 8);
  dump("a.bin", a.data(), a.size() * 4);
  dump("s.bin", s.data(), s.size());
  dump("k.bin", k.data(), k.size() * 2);
  auto np = numpy_times(dir, reps);
  auto npt = [&](const char* key) { return np.count(key) ? np[key] : 0.0; };
  std::printf("%ld observations, best of %d; the machine is shared, so figures are noisy\n", n, reps);

  std::vector<double> xc;
  double tz = timecmd("sort x", load, reps);
  double tc = timeloop([&] { xc = x; std::sort(xc.begin(), xc.end()); sink = xc[0]; }, reps);
  report("sort x", n, tz, npt("sort"), tc);

  tz = timecmd("sort x, stable", load, reps);
  tc = timeloop([&] { xc = x; std::stable_sort(xc.begin(), xc.end()); sink = xc[0]; }, reps);
  report("sort x, stable", n, tz, npt("stable"), tc);

  tz = timecmd("sort a s x", load, reps);
  std::vector<uint32_t> o(static_cast<size_t>(n));
  tc = timeloop([&] {
    std::iota(o.begin(), o.end(), 0u);
    std::sort(o.begin(), o.end(), [&](uint32_t p, uint32_t q) {
      if (a[p] != a[q]) return a[p] < a[q];
      int c = std::memcmp(&s[p * 8], &s[q * 8], 8);
      if (c) return c < 0;
      return x[p] < x[q];
    });
    sink = o[0];
  }, reps);
  report("sort a s x (long, str8, double)", n, tz, npt("three"), tc);

  load();
  (void)execline("sort x");
  tz = timecmd("sort x", [] {}, reps);
  tc = timeloop([&] {
    bool in = true;
    for (size_t i = 1; i < xc.size(); ++i) in &= xc[i - 1] <= xc[i];
    sink = in;
  }, reps);
  report("sort x (already in order)", n, tz, npt("sorted"), tc);

  tz = timecmd("sort k", load, reps);
  std::vector<int16_t> kc;
  tc = timeloop([&] { kc = k; std::sort(kc.begin(), kc.end()); sink = kc[0]; }, reps);
  report("sort k (int, 1000 values: ties)", n, tz, npt("ties"), tc);

  load();
  (void)execline("sort g");
  double tplain = timecmd("generate long n = _n", [] { (void)execline("capture drop n"); }, reps);
  tz = timecmd("by g: generate long n = _n", [] { (void)execline("capture drop n"); }, reps);
  std::vector<int32_t> nc(static_cast<size_t>(n));
  tc = timeloop([&] {
    for (long i = 0; i < n; ++i) nc[static_cast<size_t>(i)] = static_cast<int32_t>(i % gsize + 1);
    sink = nc[5];
  }, reps);
  report("by g: generate long n = _n", n, tz, npt("byn"), tc);
  std::printf("%-34s (generate long n = _n without by: %.1f ms; by/plain %.2f)\n", "", tplain * 1e3, tz / tplain);

  for (const char* f : {"x.bin", "a.bin", "s.bin", "k.bin", "bench.py"}) std::remove((std::string(dir) + "/" + f).c_str());
  std::remove(dir);
  return 0;
}
