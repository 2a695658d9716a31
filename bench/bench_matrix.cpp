// Matrix throughput beside numpy on the same values (python3-numpy in a
// child process, one BLAS thread on both sides, the same OpenBLAS build and
// kernel choice, since the child inherits this environment), beside the
// BLAS call numpy makes, timed in this process between our own runs (the
// fairest figure on a shared machine), and beside a plain C++ loop:
//   matrix accum A = x1-x10 over 1M observations against numpy's X.T @ X,
//   matrix C = A*B and matrix Ai = syminv(A) at matsize 400 and 800
//   against numpy's A @ B and linalg.inv.
// Usage: bench_matrix [scale] [repetitions]   (scale 1 = 1M observations)
#include <cblas.h>

#include <algorithm>
#include <chrono>
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

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double timecmd(const std::string& cmd, int reps) {
  double best = 1e30;
  for (int r = 0; r < reps; ++r) {
    double t0 = now();
    if (int rc = execline(cmd)) {
      std::fprintf(stderr, "command failed (r(%d)): %s\n", rc, cmd.c_str());
      std::exit(1);
    }
    best = std::min(best, now() - t0);
  }
  return best;
}

unsigned long long rs = 88172645463325252ULL;
double rnd() {
  rs ^= rs << 13, rs ^= rs >> 7, rs ^= rs << 17;
  return static_cast<double>(rs >> 11) * 0x1p-53;
}

void dump(const std::string& path, const std::vector<double>& v) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(v.data(), sizeof(double), v.size(), f);
  std::fclose(f);
}

bool blasshown = false;

std::map<std::string, double> numpy(const std::string& dir, const std::string& body) {
  std::string py = dir + "/bench.py";
  std::FILE* f = std::fopen(py.c_str(), "w");
  if (!f) return {};
  std::fprintf(f, "import time, numpy as np\n"
                  "libs=sorted(set(l.split()[-1] for l in open('/proc/self/maps') if 'blas' in l))\n"
                  "print('blas', libs[-1] if libs else 'none')\n"
                  "def best(fn, reps):\n"
                  "  b=1e30\n"
                  "  for r in range(reps):\n"
                  "    t0=time.perf_counter(); fn(); b=min(b, time.perf_counter()-t0)\n"
                  "  return b\n%s", body.c_str());
  std::fclose(f);
  std::string cmd = "OPENBLAS_NUM_THREADS=1 OMP_NUM_THREADS=1 /usr/bin/python3 " + py + " 2>/dev/null";
  std::map<std::string, double> r;
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char name[64], lib[512];
  double t;
  while (std::fscanf(p, "%63s", name) == 1) {
    if (std::string(name) == "blas") {
      if (std::fscanf(p, "%511s", lib) == 1 && !blasshown) std::printf("(numpy's BLAS: %s)\n", lib), blasshown = true;
    } else if (std::fscanf(p, "%lf", &t) == 1) {
      r[name] = t;
    }
  }
  pclose(p);
  return r;
}

// tb: the BLAS call numpy makes, timed here; tc: a plain loop.
void report(const char* what, double tz, double tnp, double tb, double tc) {
  std::printf("%-34s zelta %8.4f s", what, tz);
  if (tnp > 0) std::printf("  numpy %8.4f s  ratio %.2fx", tnp, tz / tnp);
  else std::printf("  numpy n/a");
  if (tb > 0) std::printf("  numpy's BLAS call here %8.4f s  ratio %.2fx", tb, tz / tb);
  if (tc > 0) std::printf("  plain loop %8.4f s  ratio %.2fx", tc, tz / tc);
  std::printf("\n");
}

// The best of reps runs of fn.
template <class F>
double timefn(F fn, int reps) {
  double best = 1e30;
  for (int r = 0; r < reps; ++r) {
    double t0 = now();
    fn();
    best = std::min(best, now() - t0);
  }
  return best;
}

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
    auto np = numpy(d, body);
    // numpy's X.T @ X on its row-major array is one rank-k update.
    std::vector<double> xtx(100);
    double tz = 1e30, tzc = 1e30, tb = 1e30;
    for (int r = 0; r < reps; ++r) {
      tz = std::min(tz, timecmd("matrix accum A = x1-x10, noconstant", 1));
      tzc = std::min(tzc, timecmd("matrix accum A = x1-x10", 1));
      tb = std::min(tb, timefn([&] {
        cblas_dsyrk(CblasRowMajor, CblasUpper, CblasTrans, 10, static_cast<int>(n), 1.0, X.data(), 10, 0.0,
                    xtx.data(), 10);
      }, 1));
    }
    double tc = 1e30;
    for (int r = 0; r < reps; ++r) {
      double t0 = now();
      std::vector<double> c(100, 0.0);
      for (long i = 0; i < n; ++i) {
        const double* row = &X[static_cast<size_t>(i) * 10];
        for (int a = 0; a < 10; ++a)
          for (int b = 0; b <= a; ++b) c[static_cast<size_t>(a * 10 + b)] += row[a] * row[b];
      }
      volatile double keep = c[0];
      (void)keep;
      tc = std::min(tc, now() - t0);
    }
    report("accum x1-x10, noconstant (1M)", tz, np.count("xtx") ? np["xtx"] : 0, tb, tc);
    report("accum x1-x10 with _cons (1M)", tzc, np.count("xtx") ? np["xtx"] : 0, tb, tc);
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
    auto np = numpy(d, body);
    Matrix Cb = mat_make(m, m);
    double tm = 1e30, ti = 1e30, tb = 1e30;
    for (int r = 0; r < reps; ++r) {
      tm = std::min(tm, timecmd("matrix C = A*B", 1));
      ti = std::min(ti, timecmd("matrix Si = syminv(S)", 1));
      tb = std::min(tb, timefn([&] {
        cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, m, m, m, 1.0, A.v.data(), m, B.v.data(), m, 0.0,
                    Cb.v.data(), m);
      }, 1));
    }
    std::string l1 = "matrix C = A*B at " + std::to_string(m);
    std::string l2 = "matrix Si = syminv(S) at " + std::to_string(m);
    report(l1.c_str(), tm, np.count("mul") ? np["mul"] : 0, tb, 0);
    report(l2.c_str(), ti, np.count("inv") ? np["inv"] : 0, 0, 0);
  }
  std::string cleanup = "rm -rf " + d;
  if (std::system(cleanup.c_str())) return 0;
  return 0;
}
