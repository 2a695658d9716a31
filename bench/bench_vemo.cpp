// Vemo speed, each figure beside its reference measured in this run:
// a scalar loop `for (i=1; i<=n; i++) s = s + i` in a compiled function
// against the same loop in python3 and in plain C++; `C = A*B` for two
// 1000 x 1000 real matrices against numpy's matmul (Debian's python3-numpy,
// which reaches the same OpenBLAS through libblas) and a plain C++ triple
// loop; and compiling a 2,000-line source file of functions. Times are
// processor times; BLAS threads add theirs, on both sides alike, but the
// scalar loop's are those of the one thread it runs on.
// Usage: bench_vemo [loop length] [matrix order]
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "interp/cmdtab.h"
#include "output/output.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"
#include "bench_util.h"

namespace {

int run(const std::string& line) {
  CcSource src;
  src.line = line;
  int rc = vemo_runline(src);
  if (rc) {
    std::fprintf(stderr, "vemo statement failed (r(%d)): %s\n", rc, line.c_str());
    std::exit(1);
  }
  return rc;
}

// Best of reps runs in processor time of this process: the machine is
// shared, and wall time mostly measures the other users. The python3
// children report theirs the same way (time.process_time).
template <class F>
double best(F f, int reps) { return bench::best(f, reps, bench::cpu); }

using bench::python;
using bench::sink;

// The lines of the compile benchmark's source.
std::vector<std::string> source;
size_t srcpos = 0;
int srcmore(std::string& line) {
  if (srcpos >= source.size()) return 1;
  line = source[srcpos++];
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const long n = argc > 1 ? std::atol(argv[1]) : 10000000;
  const int order = argc > 2 ? std::atoi(argv[2]) : 1000;
  std::string quiet;
  out_set_capture(&quiet);
  cmdinit_table();
  vemo_start();
  std::printf("Vemo benchmarks (2 shared cores: figures are noisy; best of 3)\n");

  // 1. scalar loop
  run("function loopsum(n) { s = 0; for (i=1; i<=n; i++) s = s + i; return(s) }");
  if (std::getenv("BENCH_VEMO_DUMP")) std::fputs(vm_disasm(findfcn("loopsum")).c_str(), stdout);
  const std::string call = "x = loopsum(" + std::to_string(n) + ")";
  // the loop and its references run on one thread: time that thread alone
  double tv = bench::best([&] { run(call); }, 3, bench::threadcpu);
  double tc = bench::best(
      [&] {
        double s = 0;
        for (long i = 1; i <= n; ++i) s = s + static_cast<double>(i);
        sink = s;
      },
      3, bench::threadcpu);
  double tp = python("import time\ndef f(n):\n    s = 0\n    for i in range(1, n + 1):\n        s = s + i\n"
                     "    return s\nb = 1e9\nfor r in range(3):\n    t = time.process_time(); f(" +
                     std::to_string(n) + "); b = min(b, time.process_time() - t)\nprint(b)");
  std::printf("scalar loop, %ld iterations: vemo %.3f s (%.1f ns/iteration) | C++ %.4f s | python3 ", n, tv,
              tv / static_cast<double>(n) * 1e9, tc);
  if (tp > 0) std::printf("%.3f s (python/vemo %.2f)\n", tp, tp / tv);
  else std::printf("n/a\n");

  // 2. matrix product
  const std::string o = std::to_string(order);
  run("A = uniform(" + o + "," + o + "); B = uniform(" + o + "," + o + ")");
  double tm = best([&] { run("C = A*B"); }, 3);
  const Mat* A = findglobal("A");
  const Mat* B = findglobal("B");
  double tl = best(
      [&] {
        std::vector<double> c(static_cast<size_t>(order) * static_cast<size_t>(order), 0);
        for (int i = 0; i < order; ++i)
          for (int k = 0; k < order; ++k) {
            double a = A->re()[static_cast<size_t>(i) * static_cast<size_t>(order) + static_cast<size_t>(k)];
            const double* b = B->re() + static_cast<size_t>(k) * static_cast<size_t>(order);
            double* cr = c.data() + static_cast<size_t>(i) * static_cast<size_t>(order);
            for (int j = 0; j < order; ++j) cr[j] += a * b[j];
          }
        sink = c[0];
      },
      1);
  double tn = python("import time, numpy as np\nA = np.random.rand(" + o + "," + o + "); B = np.random.rand(" + o +
                     "," + o + ")\nb = 1e9\nfor r in range(3):\n    t = time.process_time(); C = A @ B; "
                     "b = min(b, time.process_time() - t)\nprint(b)");
  std::printf("C = A*B, %d x %d: vemo %.4f s | plain C++ loop %.3f s | numpy ", order, order, tm, tl);
  if (tn > 0) std::printf("%.4f s (vemo/numpy %.2f)\n", tn, tm / tn);
  else std::printf("n/a\n");

  // 3. compiling a 2,000-line source file
  for (int f = 0; f < 200; ++f) {
    std::string k = std::to_string(f);
    source.push_back("real scalar f" + k + "(real scalar x, real vector v)");
    source.push_back("{");
    source.push_back("    real scalar i, s");
    source.push_back("    s = 0");
    source.push_back("    for (i = 1; i <= cols(v); i++) {");
    source.push_back("        if (v[i] > x) s = s + v[i] * 2");
    source.push_back("        else s = s - (1, 2, 3)[2] / x");
    source.push_back("    }");
    source.push_back("    return(s + x^2 - " + k + ")");
    source.push_back("}");
  }
  double tcomp = best(
      [&] {
        for (int f = 0; f < 200; ++f) run("vemo drop f" + std::to_string(f) + "()");
        srcpos = 0;
        std::string line;
        while (!srcmore(line)) {
          CcSource src;
          src.line = line;
          src.canmore = true;
          src.more = srcmore;
          if (vemo_runline(src)) {
            std::fprintf(stderr, "compile failed near line %zu\n", srcpos);
            std::exit(1);
          }
        }
      },
      3);
  run("y = f7(1, (0.5, 2, 3))");
  std::printf("compiling %zu lines (200 functions): %.4f s (%.0f lines/s; target under 0.1 s)\n", source.size(),
              tcomp, static_cast<double>(source.size()) / tcomp);
  return 0;
}
