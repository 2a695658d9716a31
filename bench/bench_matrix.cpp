// Matrix throughput beside numpy on the same values (python3-numpy in a
// child process, one BLAS thread on both sides) and a plain C++ loop:
//   matrix accum A = x1-x10 over 1M observations against numpy's X.T @ X,
//   matrix C = A*B and matrix Ai = syminv(A) at matsize 400 and 800
//   against numpy's A @ B and linalg.inv.
// Usage: bench_matrix [scale] [repetitions]   (scale 1 = 1M observations)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "results/results.h"
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
  const long n = static_cast<long>(1000000 * scale);
  std::string quiet;
  out_set_capture(&quiet);
  cmdinit_table();
  char dir[] = "/tmp/zelta_bench_matrix_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string d = dir;
  std::printf("(2 shared cores: figures are noisy; numpy runs with one BLAS thread)\n");
  // accum: 10 double variables
  {
    ds_reset();
    if (setmemory(static_cast<uint64_t>(n) * 96 + (64 << 20))) return 1;
    for (int k = 1; k <= 10; ++k)
      if (addvar(("x" + std::to_string(k)).c_str(), ST_DOUBLE)) return 1;
    if (setobs(n)) return 1;
    std::vector<double> X(static_cast<size_t>(n) * 10);
    for (long i = 0; i < n; ++i)
      for (int k = 0; k < 10; ++k) store(k + 1, i + 1, X[static_cast<size_t>(i) * 10 + static_cast<size_t>(k)] = rnd());
    dump(d + "/X.bin", X);
    char body[512];
    std::snprintf(body, sizeof body,
                  "X=np.fromfile('%s/X.bin').reshape(-1,10)\n"
                  "print('xtx', best(lambda: X.T@X, %d))\n", dir, reps);
    auto np = bench::numpy(d, body, reps);
    double tz = timecmd("matrix accum A = x1-x10, noconstant", reps);
    double tzc = timecmd("matrix accum A = x1-x10", reps);
    double tc = bench::best([&] {
      std::vector<double> c(100, 0.0);
      for (long i = 0; i < n; ++i) {
        const double* row = &X[static_cast<size_t>(i) * 10];
        for (int a = 0; a < 10; ++a)
          for (int b = 0; b <= a; ++b) c[static_cast<size_t>(a * 10 + b)] += row[a] * row[b];
      }
      bench::sink = c[0];
    }, reps);
    report("accum x1-x10, noconstant (1M)", tz, np.count("xtx") ? np["xtx"] : 0, tc);
    report("accum x1-x10 with _cons (1M)", tzc, np.count("xtx") ? np["xtx"] : 0, tc);
    ds_reset();
  }
  // products and inverses
  for (int m : {400, 800}) {
    if (execline("set matsize " + std::to_string(m))) return 1;
    Matrix A = mat_make(m, m), B = mat_make(m, m), S = mat_make(m, m);
    for (double& x : A.v) x = rnd();
    for (double& x : B.v) x = rnd();
    // S = A'A + m I: symmetric positive definite
    for (int i = 0; i < m; ++i)
      for (int j = 0; j <= i; ++j) {
        double s = 0;
        for (int k = 0; k < m; ++k) s += A.at(k, i) * A.at(k, j);
        S.at(i, j) = S.at(j, i) = s + (i == j ? m : 0);
      }
    dump(d + "/A.bin", A.v);
    dump(d + "/B.bin", B.v);
    dump(d + "/S.bin", S.v);
    if (mat_store("A", A) || mat_store("B", B) || mat_store("S", S)) return 1;
    char body[1024];
    std::snprintf(body, sizeof body,
                  "A=np.fromfile('%s/A.bin').reshape(%d,%d)\n"
                  "B=np.fromfile('%s/B.bin').reshape(%d,%d)\n"
                  "S=np.fromfile('%s/S.bin').reshape(%d,%d)\n"
                  "print('mul', best(lambda: A@B, %d))\n"
                  "print('inv', best(lambda: np.linalg.inv(S), %d))\n",
                  dir, m, m, dir, m, m, dir, m, m, reps, reps);
    auto np = bench::numpy(d, body, reps);
    double tm = timecmd("matrix C = A*B", reps);
    double ti = timecmd("matrix Si = syminv(S)", reps);
    std::string l1 = "matrix C = A*B at " + std::to_string(m);
    std::string l2 = "matrix Si = syminv(S) at " + std::to_string(m);
    report(l1.c_str(), tm, np.count("mul") ? np["mul"] : 0, 0);
    report(l2.c_str(), ti, np.count("inv") ? np["inv"] : 0, 0);
  }
  std::string cleanup = "rm -rf " + d;
  if (std::system(cleanup.c_str())) return 0;
  return 0;
}
