// Whole-variable work on the column store, ten million observations: five
// `generate double yK = 2*x + ln(z)` in a row, one such `generate`, creating a
// variable (`generate double y1 = 1`), `replace y = y + 1 if x > 0.5`,
// `generate u = uniform()`, the same `generate` right after `sort x`, and a
// pass over one variable of a 20-variable double dataset (`count if v7 >
// 0.5`). Each is timed through the interpreter beside numpy (Debian's
// python3-numpy, a child process on the same values) and a plain C++ loop
// over contiguous arrays, all in this run. Timings are the best of the
// repetitions; the machine is shared, so expect noise of 10-30%.
// Usage: bench_layout [observations] [repetitions]
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
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

void run(const std::string& cmd) {
  if (int rc = execline(cmd)) {
    std::fprintf(stderr, "command failed (r(%d)): %s\n", rc, cmd.c_str());
    std::exit(1);
  }
}

// Best of reps runs of the commands, each run preceded by setup (untimed).
double timecmds(const std::vector<std::string>& cmds, const std::string& setup, int reps) {
  double best = 1e30;
  for (int r = 0; r < reps; ++r) {
    if (!setup.empty()) run(setup);
    double t0 = now();
    for (const auto& c : cmds) run(c);
    best = std::min(best, now() - t0);
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

// Times of the numpy versions by name, from a child python3; empty when
// numpy is not available.
std::map<std::string, double> numpy_times(const std::string& dir, long n, int reps) {
  std::string py = dir + "/bench.py";
  std::FILE* f = std::fopen(py.c_str(), "w");
  if (!f) return {};
  std::fprintf(f,
               "import time, numpy as np\n"
               "n=%ld; reps=%d; d='%s'\n"
               "x=np.fromfile(d+'/x.bin'); z=np.fromfile(d+'/z.bin'); y0=np.fromfile(d+'/y.bin')\n"
               "def best(fn):\n"
               "  b=1e30\n"
               "  for r in range(reps):\n"
               "    t0=time.perf_counter(); fn(); b=min(b, time.perf_counter()-t0)\n"
               "  return b\n"
               "print('arith', best(lambda: 2*x + np.log(z)))\n"
               "print('arith5', best(lambda: [2*x + np.log(z) for k in range(5)]))\n"
               "print('replace', best(lambda: np.where(x > 0.5, y0 + 1, y0)))\n"
               "print('uniform', best(lambda: np.random.random(n).astype(np.float32)))\n"
               "print('count', best(lambda: np.count_nonzero(x > 0.5)))\n",
               n, reps, dir.c_str());
  std::fclose(f);
  std::string cmd = "/usr/bin/python3 " + py + " 2>/dev/null";
  std::map<std::string, double> r;
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char name[64];
  double t;
  while (std::fscanf(p, "%63s %lf", name, &t) == 2) r[name] = t;
  pclose(p);
  std::remove(py.c_str());
  return r;
}

void report(const char* what, double tz, double tn, double tc, const char* target) {
  std::printf("%-40s zelta %7.1f ms", what, tz * 1e3);
  if (tn > 0)
    std::printf(" | numpy %7.1f ms (zelta/numpy %.2f)", tn * 1e3, tz / tn);
  else
    std::printf(" | numpy n/a");
  std::printf(" | C++ loop %7.1f ms (zelta/loop %.2f)  [target: %s]\n", tc * 1e3, tz / tc, target);
}

struct Rng {
  uint64_t s = 88172645463325252ULL;
  double operator()() {
    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
    return static_cast<double>(s >> 11) * 0x1p-53;
  }
};

}  // namespace

int main(int argc, char** argv) {
  long n = argc > 1 ? std::atol(argv[1]) : 10000000L;
  int reps = argc > 2 ? std::atoi(argv[2]) : 3;
  std::string quiet;
  out_set_capture(&quiet);
  cmdinit_table();

  // Dataset 1: x, z, y (double); the generated variables come on top.
  ds_reset();
  if (setmemory(static_cast<uint64_t>(n) * 100 + (64 << 20))) return 1;
  if (addvar("x", ST_DOUBLE) || addvar("z", ST_DOUBLE) || addvar("y", ST_DOUBLE)) return 1;
  if (setobs(n)) return 1;
  std::vector<double> x(n), z(n), y(n);
  Rng rnd;
  for (long i = 0; i < n; ++i) {
    x[i] = rnd();
    z[i] = rnd() + 0.5;
    y[i] = rnd() * 10;
  }
  {
    ColView cx = colview(1), cz = colview(2), cy = colview(3);
    col_encode(cx, 1, n, x.data());
    col_encode(cz, 1, n, z.data());
    col_encode(cy, 1, n, y.data());
  }
  char dir[] = "/tmp/zelta_bench_layout_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  auto dump = [&](const char* name, const void* p, size_t bytes) {
    std::FILE* f = std::fopen((std::string(dir) + "/" + name).c_str(), "wb");
    if (f) std::fwrite(p, 1, bytes, f), std::fclose(f);
  };
  dump("x.bin", x.data(), x.size() * 8);
  dump("z.bin", z.data(), z.size() * 8);
  dump("y.bin", y.data(), y.size() * 8);
  auto np = numpy_times(dir, n, reps);
  for (const char* f : {"x.bin", "z.bin", "y.bin"}) std::remove((std::string(dir) + "/" + f).c_str());
  std::remove(dir);
  auto npt = [&](const char* k) { return np.count(k) ? np[k] : 0.0; };
  std::vector<double> o(n);
  std::printf("%ld observations, best of %d; shared machine: figures are noisy\n", n, reps);

  // Five new variables in a row, each timed run starting without them.
  std::vector<std::string> five;
  for (int k = 1; k <= 5; ++k) five.push_back("generate double y" + std::to_string(k) + " = 2*x + ln(z)");
  double tz = timecmds(five, "capture drop y1 y2 y3 y4 y5", reps);
  std::vector<std::vector<double>> outs(5);
  double tc = timeloop([&] {
    for (auto& v : outs) {
      v.assign(static_cast<size_t>(n), 0.0);
      for (long i = 0; i < n; ++i) v[i] = 2 * x[i] + std::log(z[i]);
    }
    sink = outs[4][n / 2];
  }, reps);
  outs.clear();
  outs.shrink_to_fit();
  report("5 x generate double yK = 2*x + ln(z)", tz, npt("arith5"), tc, "numpy 1.0");
  run("capture drop y1 y2 y3 y4 y5");

  double tgen = timecmds({"generate double y1 = 2*x + ln(z)"}, "capture drop y1", reps);
  tc = timeloop([&] { for (long i = 0; i < n; ++i) o[i] = 2 * x[i] + std::log(z[i]); sink = o[n / 2]; }, reps);
  report("generate double y1 = 2*x + ln(z)", tgen, npt("arith"), tc, "numpy 1.0");

  tz = timecmds({"generate double y1 = 1"}, "capture drop y1", reps);
  tc = timeloop([&] { std::memset(o.data(), 0x3f, o.size() * 8); sink = o[n / 2]; }, reps);
  report("generate double y1 = 1 (vs memset)", tz, 0, tc, "memset 2.0");

  tz = timecmds({"replace y = y + 1 if x > 0.5"}, "", reps);
  std::vector<double> yy(y);
  tc = timeloop([&] { for (long i = 0; i < n; ++i) if (x[i] > 0.5) yy[i] += 1; sink = yy[n / 2]; }, reps);
  report("replace y = y + 1 if x > 0.5", tz, npt("replace"), tc, "numpy 1.0");

  tz = timecmds({"generate u = uniform()"}, "capture drop u", reps);
  std::vector<float> uo(n);
  tc = timeloop([&] {
    uint32_t a = 123456789, b = 521288629, c = 362436069, d = 2262615;
    for (long i = 0; i < n; ++i) {
      b ^= b << 13, b ^= b >> 17, b ^= b << 5;
      c = 65184 * (c & 65535) + (c >> 16);
      d = 63663 * (d & 65535) + (d >> 16);
      a = 69069 * a + 1234567;
      uo[i] = static_cast<float>((a + b + c + (d << 16)) * 0x1p-32);
    }
    sink = uo[n / 2];
  }, reps);
  report("generate u = uniform()", tz, npt("uniform"), tc, "numpy 1.0");
  run("drop u");

  // The same generate on data just sorted by x (a random order).
  double t0 = now();
  run("sort x");
  double tsort = now() - t0;
  tz = timecmds({"generate double y1 = 2*x + ln(z)"}, "capture drop y1", reps);
  std::printf("%-40s zelta %7.1f ms | unsorted %7.1f ms (sorted/unsorted %.2f)  [target: 1.2]"
              "  (sort x itself: %.1f ms)\n",
              "generate ... right after sort x", tz * 1e3, tgen * 1e3, tz / tgen, tsort * 1e3);

  // Dataset 2: 20 double variables; one pass over v7.
  x.clear(), z.clear(), y.clear(), yy.clear(), uo.clear();
  ds_reset();
  if (setmemory(static_cast<uint64_t>(n) * 172 + (64 << 20))) return 1;
  for (int k = 1; k <= 20; ++k)
    if (addvar(("v" + std::to_string(k)).c_str(), ST_DOUBLE)) return 1;
  if (setobs(n)) return 1;
  for (int k = 1; k <= 20; ++k) {
    ColView c = colview(k);
    for (long i = 0; i < n; ++i) o[i] = rnd();
    col_encode(c, 1, n, o.data());
  }
  std::vector<double> v7(n);
  col_decode(colview(7), 1, n, v7.data());
  tz = timecmds({"count if v7 > 0.5"}, "", reps);
  tc = timeloop([&] {
    long k = 0;
    for (long i = 0; i < n; ++i) k += v7[i] > 0.5;
    sink = static_cast<double>(k);
  }, reps);
  report("count if v7 > 0.5 (20 doubles)", tz, npt("count"), tc, "loop 2.0");
  ds_reset();
  return 0;
}
