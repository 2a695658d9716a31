// Speed of the Vemo library against references measured in the same run:
// summing a view onto 10M observations of one double variable against a
// plain loop over the same column; reading 1M x 10 doubles with st_data,
// their cross product and a Cholesky-based solve against numpy doing the
// same steps on an array it already holds (st_data must copy the cells into
// a matrix of its own, where numpy slices its array); and the SVD and symmetric
// eigen-decomposition of a 500 x 500 matrix against numpy.linalg. Times are
// processor times (BLAS threads add theirs, on both sides alike).
// Usage: bench_vemolib [observations] [order]
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "output/output.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"
#include "bench_util.h"

namespace {

void run(const std::string& line) {
  CcSource src;
  src.line = line;
  if (int rc = vemo_runline(src)) {
    std::fprintf(stderr, "vemo statement failed (r(%d)): %s\n", rc, line.c_str());
    std::exit(1);
  }
}

// Best of reps runs in processor time.
template <class F>
double best(F f, int reps) { return bench::best(f, reps, bench::cpu); }

using bench::python;
using bench::sink;

void ratio(const char* what, double mine, double ref, const char* refname) {
  std::printf("%s: vemo %.4f s | %s ", what, mine, refname);
  if (ref > 0) std::printf("%.4f s (vemo/%s %.2f)\n", ref, refname, mine / ref);
  else std::printf("n/a\n");
}

}  // namespace

int main(int argc, char** argv) {
  const long nobs = argc > 1 ? std::atol(argv[1]) : 10000000;
  const int order = argc > 2 ? std::atoi(argv[2]) : 500;
  std::string quiet;
  out_set_capture(&quiet);
  cmdinit_table();
  vemo_start();
  if (setmemory(static_cast<uint64_t>(nobs) * 8 * 3 + (64u << 20))) return 1;
  std::printf("Vemo library benchmarks (2 shared cores: figures are noisy; best of 3)\n");

  // 1. a view onto one variable, summed
  const std::string N = std::to_string(nobs);
  run("st_addobs(" + N + "); (void) st_addvar(\"double\", \"x\")");
  run("st_store(., \"x\", uniform(" + N + ", 1))");
  run("st_view(V, ., \"x\")");
  double tv = best([&] { run("s = sum(V)"); }, 3);
  double tc = best(
      [&] {
        // the column's doubles as they lie in the store
        ColView c = colview(1);
        const double* p = reinterpret_cast<const double*>(c.base);
        double s = 0;
        for (long i = 0; i < ds.nobs; ++i) {
          const double x = p[i];
          if (x < misval) s += x;
        }
        sink = s;
      },
      3);
  ratio(("sum(V), view of " + N + " observations").c_str(), tv, tc, "C++");
  run("V = 0; st_dropvar(.)");
  if (setobs_quiet(0)) return 1;

  // 2. st_data of 1M x 10, cross product, Cholesky solve
  const long m = nobs / 10;
  const std::string M = std::to_string(m);
  run("st_addobs(" + M + "); (void) st_addvar(\"double\", (\"x1\",\"x2\",\"x3\",\"x4\",\"x5\",\"x6\",\"x7\",\"x8\",\"x9\",\"y\"))");
  run("st_store(., ., uniform(" + M + ", 10))");
  double ts = best(
      [&] {
        run("X = st_data(., 1..9); y = st_data(., 10); XX = cross(X, X); Xy = cross(X, y)");
        run("L = XX; _cholesky(L); b = Xy; (void) _lusolve_la(L, b); b2 = b; (void) _lusolve_la(L', b2)");
      },
      3);
  std::printf("  of which st_data %.4f s, cross products %.4f s\n",
              best([&] { run("X = st_data(., 1..9); y = st_data(., 10)"); }, 3),
              best([&] { run("XX = cross(X, X); Xy = cross(X, y)"); }, 3));
  double tn = python("import time, numpy as np\nD = np.random.rand(" + M +
                     ", 10)\nb = 1e9\nfor r in range(3):\n    t = time.process_time(); X = D[:, :9]; y = D[:, 9]; "
                     "XX = X.T @ X; Xy = X.T @ y; L = np.linalg.cholesky(XX); "
                     "z = np.linalg.solve(L, Xy); bb = np.linalg.solve(L.T, z); "
                     "b = min(b, time.process_time() - t)\nprint(b)");
  ratio(("st_data " + M + " x 10, cross, Cholesky solve").c_str(), ts, tn, "numpy");

  // 3. decompositions of order x order
  const std::string o = std::to_string(order);
  run("A = uniform(" + o + "," + o + "); S = A + A'");
  double tsvd = best([&] { run("U = A; (void) _svd_la(U, s, Vt)"); }, 3);
  double tsvdn = python("import time, numpy as np\nA = np.random.rand(" + o + "," + o +
                        ")\nb = 1e9\nfor r in range(3):\n    t = time.process_time(); u, s, vt = np.linalg.svd(A); "
                        "b = min(b, time.process_time() - t)\nprint(b)");
  ratio(("SVD " + o + " x " + o).c_str(), tsvd, tsvdn, "numpy");
  double teig = best([&] { run("E = S; (void) _symeigen_la(E, ev)"); }, 3);
  double teign = python("import time, numpy as np\nA = np.random.rand(" + o + "," + o +
                        ")\nS = A + A.T\nb = 1e9\nfor r in range(3):\n    t = time.process_time(); w, v = "
                        "np.linalg.eigh(S); b = min(b, time.process_time() - t)\nprint(b)");
  ratio(("symmetric eigen " + o + " x " + o).c_str(), teig, teign, "numpy");
  return 0;
}
