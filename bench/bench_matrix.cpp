// Matrix throughput beside numpy on the same values (python3-numpy in a
// child process, one BLAS thread on both sides) and a plain C++ loop:
// numpy runs twice, with its own kernel choice and with the one this
// process has (OPENBLAS_CORETYPE, when the environment sets it, pins ours),
// and the BLAS call numpy makes is also timed here, between our own runs,
// which is the steadiest figure on a shared machine.
//   matrix accum A = x1-x10 over 1M observations against numpy's X.T @ X,
//   matrix C = A*B and matrix Ai = syminv(A) at matsize 400 and 800
//   against numpy's A @ B and linalg.inv.
// Usage: bench_matrix [scale] [repetitions]   (scale 1 = 1M observations)
#include <cblas.h>

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

// numpy's figure for key with its own kernel choice and with ours.
struct Numpy {
  std::map<std::string, double> own, same;
  double get(const std::map<std::string, double>& m, const char* k) const { return m.count(k) ? m.at(k) : 0; }
};

Numpy numpy2(const std::string& d, const std::string& body, int reps) {
  return {bench::numpy(d, body, reps), bench::numpy(d, body, reps, true)};
}

// The like-for-like line under report's: numpy with this process's BLAS
// kernel, and the BLAS call numpy makes timed here (0: not measured).
void samekernel(double tz, double same, double tb) {
  std::printf("%-42s same BLAS kernel:", "");
  if (same > 0) std::printf(" numpy %8.1f ms (zelta/numpy %.2f)", same * 1e3, tz / same);
  if (tb > 0) std::printf(" | numpy's BLAS call timed here %8.1f ms (zelta/BLAS %.2f)", tb * 1e3, tz / tb);
  std::printf("\n");
}

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
    Numpy np = numpy2(d, body, reps);
    // numpy's X.T @ X on its row-major array is one rank-k update; the
    // three are timed in turn so the machine's load falls on each alike.
    std::vector<double> xtx(100);
    double tz = 1e30, tzc = 1e30, tb = 1e30;
    for (int r = 0; r < reps; ++r) {
      tz = std::min(tz, timecmd("matrix accum A = x1-x10, noconstant", 1));
      tzc = std::min(tzc, timecmd("matrix accum A = x1-x10", 1));
      tb = std::min(tb, bench::best([&] {
        cblas_dsyrk(CblasRowMajor, CblasUpper, CblasTrans, 10, static_cast<int>(n), 1.0, X.data(), 10, 0.0,
                    xtx.data(), 10);
      }, 1));
    }
    double tc = bench::best([&] {
      std::vector<double> c(100, 0.0);
      for (long i = 0; i < n; ++i) {
        const double* row = &X[static_cast<size_t>(i) * 10];
        for (int a = 0; a < 10; ++a)
          for (int b = 0; b <= a; ++b) c[static_cast<size_t>(a * 10 + b)] += row[a] * row[b];
      }
      bench::sink = c[0];
    }, reps);
    report("accum x1-x10, noconstant (1M)", tz, np.get(np.own, "xtx"), tc);
    samekernel(tz, np.get(np.same, "xtx"), tb);
    report("accum x1-x10 with _cons (1M)", tzc, np.get(np.own, "xtx"), tc);
    samekernel(tzc, np.get(np.same, "xtx"), tb);
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
    Numpy np = numpy2(d, body, reps);
    Matrix Cb = mat_make(m, m);
    double tm = 1e30, ti = 1e30, tb = 1e30;
    for (int r = 0; r < reps; ++r) {
      tm = std::min(tm, timecmd("matrix C = A*B", 1));
      ti = std::min(ti, timecmd("matrix Si = syminv(S)", 1));
      tb = std::min(tb, bench::best([&] {
        cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, m, m, m, 1.0, A.v.data(), m, B.v.data(), m, 0.0,
                    Cb.v.data(), m);
      }, 1));
    }
    std::string l1 = "matrix C = A*B at " + std::to_string(m);
    std::string l2 = "matrix Si = syminv(S) at " + std::to_string(m);
    report(l1.c_str(), tm, np.get(np.own, "mul"), 0);
    samekernel(tm, np.get(np.same, "mul"), tb);
    report(l2.c_str(), ti, np.get(np.own, "inv"), 0);
    samekernel(ti, np.get(np.same, "inv"), 0);
  }
  std::string cleanup = "rm -rf " + d;
  if (std::system(cleanup.c_str())) return 0;
  return 0;
}
