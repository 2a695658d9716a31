// Expression evaluation throughput on ten million observations: four
// commands run through the interpreter (`generate double y = 2*x + ln(z)`,
// `replace y = y + 1 if x > 0.5`, `generate s = substr(t, 2, 3) + "x"`,
// `generate u = uniform()`), each beside the same computation in numpy
// (Debian's python3-numpy, run as a child process on the same values) and a
// plain scalar C++ loop over contiguous arrays, all measured in this run.
// Usage: bench_expr [observations] [repetitions]
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

// Best of reps runs of a command, each preceded by setup (untimed).
double timecmd(const std::string& cmd, const std::string& setup, int reps) {
  double best = 1e30;
  for (int r = 0; r < reps; ++r) {
    if (!setup.empty() && execline(setup)) {
      std::fprintf(stderr, "setup failed: %s\n", setup.c_str());
      std::exit(1);
    }
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

// Times of the numpy versions, by name, from a child python3 (empty when
// numpy is not available).
std::map<std::string, double> numpy_times(const std::string& dir, long n, int reps) {
  std::string py = dir + "/bench.py";
  std::FILE* f = std::fopen(py.c_str(), "w");
  if (!f) return {};
  std::fprintf(f,
               "import time, numpy as np\n"
               "n=%ld; reps=%d; d='%s'\n"
               "x=np.fromfile(d+'/x.bin'); z=np.fromfile(d+'/z.bin'); y0=np.fromfile(d+'/y.bin')\n"
               "t=np.fromfile(d+'/t.bin', dtype='S6')\n"
               "def best(fn):\n"
               "  b=1e30\n"
               "  for r in range(reps):\n"
               "    t0=time.perf_counter(); fn(); b=min(b, time.perf_counter()-t0)\n"
               "  return b\n"
               "print('arith', best(lambda: 2*x + np.log(z)))\n"
               "print('replace', best(lambda: np.where(x > 0.5, y0 + 1, y0)))\n"
               "def sub_view():\n"
               "  v=t.view(np.uint8).reshape(n,6)[:,1:4]; o=np.empty((n,4),np.uint8)\n"
               "  o[:,:3]=v; o[:,3]=ord('x'); return o.view('S4')\n"
               "print('substr_view', best(sub_view))\n"
               "def sub_char():\n"
               "  v=np.ascontiguousarray(t.view(np.uint8).reshape(n,6)[:,1:4]).view('S3').ravel()\n"
               "  return np.char.add(v, b'x')\n"
               "print('substr_char', best(sub_char))\n"
               "print('uniform', best(lambda: np.random.random(n).astype(np.float32)))\n",
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
  return r;
}

void report(const char* what, long n, double tz, double tn, double tc) {
  std::printf("%-38s zelta %7.1f ms %7.1f Mobs/s", what, tz * 1e3, n / tz / 1e6);
  if (tn > 0)
    std::printf(" | numpy %7.1f ms (zelta/numpy %.2f)", tn * 1e3, tz / tn);
  else
    std::printf(" | numpy n/a");
  std::printf(" | C++ loop %7.1f ms (zelta/loop %.2f)\n", tc * 1e3, tz / tc);
}

}  // namespace

int main(int argc, char** argv) {
  long n = argc > 1 ? std::atol(argv[1]) : 10000000L;
  int reps = argc > 2 ? std::atoi(argv[2]) : 3;
  std::string quiet;
  out_set_capture(&quiet);
  cmdinit_table();
  ds_reset();
  // Room for x, z, y (double), t (str6), the results and the map.
  if (setmemory(static_cast<uint64_t>(n) * 72 + (64 << 20))) return 1;
  if (addvar("x", ST_DOUBLE) || addvar("z", ST_DOUBLE) || addvar("y", ST_DOUBLE) ||
      addvar("t", 6))
    return 1;
  if (setobs(n)) return 1;
  std::vector<double> x(n), z(n), y(n);
  std::vector<char> t(static_cast<size_t>(n) * 6);
  uint64_t s = 88172645463325252ULL;
  auto rnd = [&] {
    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
    return static_cast<double>(s >> 11) * 0x1p-53;
  };
  for (long i = 0; i < n; ++i) {
    x[i] = rnd();
    z[i] = rnd() + 0.5;
    y[i] = rnd() * 10;
    char* c = &t[static_cast<size_t>(i) * 6];
    for (int k = 0; k < 6; ++k) c[k] = static_cast<char>('a' + static_cast<int>(rnd() * 26));
    store(1, i + 1, x[i]);
    store(2, i + 1, z[i]);
    store(3, i + 1, y[i]);
    sstore(4, i + 1, c);
  }
  char dir[] = "/tmp/zelta_bench_expr_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  auto dump = [&](const char* name, const void* p, size_t bytes) {
    std::FILE* f = std::fopen((std::string(dir) + "/" + name).c_str(), "wb");
    if (f) std::fwrite(p, 1, bytes, f), std::fclose(f);
  };
  dump("x.bin", x.data(), x.size() * 8);
  dump("z.bin", z.data(), z.size() * 8);
  dump("y.bin", y.data(), y.size() * 8);
  dump("t.bin", t.data(), t.size());
  auto np = numpy_times(dir, n, reps);
  auto npt = [&](const char* k) { return np.count(k) ? np[k] : 0.0; };
  std::vector<double> o(n);

  double tz = timecmd("generate double y1 = 2*x + ln(z)", "capture drop y1", reps);
  double tc = timeloop([&] { for (long i = 0; i < n; ++i) o[i] = 2 * x[i] + std::log(z[i]); sink = o[n / 2]; }, reps);
  report("generate double y1 = 2*x + ln(z)", n, tz, npt("arith"), tc);
  // The store's share: creating and filling a variable with a constant.
  double ta = timecmd("generate double y1 = 1", "capture drop y1", reps);
  std::printf("%-38s (of which creating the variable: generate double y1 = 1 takes %.1f ms)\n", "", ta * 1e3);

  tz = timecmd("replace y = y + 1 if x > 0.5", "", reps);
  std::vector<double> yy(y);
  tc = timeloop([&] { for (long i = 0; i < n; ++i) if (x[i] > 0.5) yy[i] += 1; sink = yy[n / 2]; }, reps);
  report("replace y = y + 1 if x > 0.5", n, tz, npt("replace"), tc);

  tz = timecmd("generate s = substr(t, 2, 3) + \"x\"", "capture drop s", reps);
  std::vector<char> so(static_cast<size_t>(n) * 4);
  tc = timeloop([&] {
    for (long i = 0; i < n; ++i) {
      std::memcpy(&so[static_cast<size_t>(i) * 4], &t[static_cast<size_t>(i) * 6 + 1], 3);
      so[static_cast<size_t>(i) * 4 + 3] = 'x';
    }
    sink = so[static_cast<size_t>(n)];
  }, reps);
  report("generate s = substr(t, 2, 3) + \"x\"", n, tz, npt("substr_char"), tc);
  if (npt("substr_view") > 0)
    std::printf("%-38s (numpy with a byte-view slice instead of np.char: %.1f ms)\n", "",
                npt("substr_view") * 1e3);

  tz = timecmd("generate u = uniform()", "capture drop u", reps);
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
  report("generate u = uniform()", n, tz, npt("uniform"), tc);

  for (const char* f : {"x.bin", "z.bin", "y.bin", "t.bin", "bench.py"})
    std::remove((std::string(dir) + "/" + f).c_str());
  std::remove(dir);
  return 0;
}
