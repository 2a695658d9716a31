// Expression evaluation throughput on ten million observations: four
// commands run through the interpreter (`generate double y = 2*x + ln(z)`,
// `replace y = y + 1 if x > 0.5`, `generate s = substr(t, 2, 3) + "x"`,
// `generate u = uniform()`), each beside the same computation in numpy
// (Debian's python3-numpy, run as a child process on the same values) and a
// plain scalar C++ loop over contiguous arrays, all measured in this run.
// Usage: bench_expr [observations] [repetitions]
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
#include "bench_util.h"

namespace {

using bench::report;
using bench::timecmd;

// Times of the numpy versions, by name, from a child python3 (empty when
// numpy is not available).
std::map<std::string, double> numpy_times(const std::string& dir, long n, int reps) {
  char body[2048];
  std::snprintf(body, sizeof body,
               "n=%ld; d='%s'\n"
               "x=np.fromfile(d+'/x.bin'); z=np.fromfile(d+'/z.bin'); y0=np.fromfile(d+'/y.bin')\n"
               "t=np.fromfile(d+'/t.bin', dtype='S6')\n"
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
               n, dir.c_str());
  return bench::numpy(dir, body, reps);
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
  bench::Rng rnd;
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
  auto dump = [&](const char* name, const void* p, size_t bytes) { bench::dump(std::string(dir) + "/" + name, p, bytes); };
  dump("x.bin", x.data(), x.size() * 8);
  dump("z.bin", z.data(), z.size() * 8);
  dump("y.bin", y.data(), y.size() * 8);
  dump("t.bin", t.data(), t.size());
  auto np = numpy_times(dir, n, reps);
  auto npt = [&](const char* k) { return np.count(k) ? np[k] : 0.0; };
  std::vector<double> o(n);

  double tz = timecmd("generate double y1 = 2*x + ln(z)", reps, "capture drop y1");
  double tc = bench::best([&] { for (long i = 0; i < n; ++i) o[i] = 2 * x[i] + std::log(z[i]); bench::sink = o[n / 2]; }, reps);
  report("generate double y1 = 2*x + ln(z)", tz, npt("arith"), tc, n);
  // The store's share: creating and filling a variable with a constant.
  double ta = timecmd("generate double y1 = 1", reps, "capture drop y1");
  std::printf("%-42s (of which creating the variable: generate double y1 = 1 takes %.1f ms)\n", "", ta * 1e3);

  tz = timecmd("replace y = y + 1 if x > 0.5", reps);
  std::vector<double> yy(y);
  tc = bench::best([&] { for (long i = 0; i < n; ++i) if (x[i] > 0.5) yy[i] += 1; bench::sink = yy[n / 2]; }, reps);
  report("replace y = y + 1 if x > 0.5", tz, npt("replace"), tc, n);

  tz = timecmd("generate s = substr(t, 2, 3) + \"x\"", reps, "capture drop s");
  std::vector<char> so(static_cast<size_t>(n) * 4);
  tc = bench::best([&] {
    for (long i = 0; i < n; ++i) {
      std::memcpy(&so[static_cast<size_t>(i) * 4], &t[static_cast<size_t>(i) * 6 + 1], 3);
      so[static_cast<size_t>(i) * 4 + 3] = 'x';
    }
    bench::sink = so[static_cast<size_t>(n)];
  }, reps);
  report("generate s = substr(t, 2, 3) + \"x\"", tz, npt("substr_char"), tc, n);
  if (npt("substr_view") > 0)
    std::printf("%-42s (numpy with a byte-view slice instead of np.char: %.1f ms)\n", "",
                npt("substr_view") * 1e3);

  tz = timecmd("generate u = uniform()", reps, "capture drop u");
  std::vector<float> uo(n);
  tc = bench::best([&] { bench::uniform_floats(uo.data(), n); bench::sink = uo[n / 2]; }, reps);
  report("generate u = uniform()", tz, npt("uniform"), tc, n);

  for (const char* f : {"x.bin", "z.bin", "y.bin", "t.bin", "bench.py"})
    std::remove((std::string(dir) + "/" + f).c_str());
  std::remove(dir);
  return 0;
}
