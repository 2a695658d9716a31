// The linear panel and instrumental-variable estimators beside numpy on the
// same values, measured in this run (numpy with one BLAS thread):
// `panelreg, fe` of 1M observations in 10,000 panels on 10 regressors against
// the panel demeaning by bincount plus lstsq, and `ivfit` (one endogenous
// regressor, three instruments, five exogenous regressors) of 1M
// observations against two lstsq calls for the two stages.
// Usage: bench_panel [scale] [repetitions]   (scale 1 = 1M observations)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_util.h"
#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"

namespace {
bench::Rng rnd;
constexpr int K = 10;
}  // namespace

int main(int argc, char** argv) {
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  const int reps = argc > 2 ? std::atoi(argv[2]) : 3;
  const long n = static_cast<long>(1000000 * scale);
  const long G = std::max(1L, n / 100);
  std::string quiet;
  bench::start_quiet(&quiet);
  char dir[] = "/tmp/zelta_bench_panel_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string d = dir;
  std::printf("(2 shared cores: figures are noisy; numpy runs with one BLAS thread)\n");
  ds_reset();
  if (setmemory(static_cast<uint64_t>(n) * 8 * 24 + (64 << 20))) return 1;
  // Variables: id, y, x1..x10 (panel model); iy, ix, z1..z3 (IV model; x1..x5 exogenous).
  if (addvar("id", ST_DOUBLE) || addvar("y", ST_DOUBLE)) return 1;
  for (int v = 0; v < K; ++v)
    if (addvar(("x" + std::to_string(v + 1)).c_str(), ST_DOUBLE)) return 1;
  if (addvar("iy", ST_DOUBLE) || addvar("ix", ST_DOUBLE)) return 1;
  for (int v = 0; v < 3; ++v)
    if (addvar(("z" + std::to_string(v + 1)).c_str(), ST_DOUBLE)) return 1;
  if (setobs(n)) return 1;
  const int P = 2 + K + 5;  // columns written for numpy
  std::vector<double> A(static_cast<size_t>(n) * P);
  std::vector<double> a(static_cast<size_t>(G));
  for (auto& v : a) v = rnd() * 4 - 2;
  for (long i = 0; i < n; ++i) {
    double* r = &A[static_cast<size_t>(i) * P];
    const long g = i / 100;
    r[0] = static_cast<double>(g);
    double yv = a[static_cast<size_t>(g)];
    for (int v = 0; v < K; ++v) {
      const double xv = rnd() * 2 - 1 + 0.3 * a[static_cast<size_t>(g)];
      r[2 + v] = xv;
      yv += 0.1 * (v + 1) * xv;
    }
    r[1] = yv + rnd() - 0.5;
    double z[3];
    for (double& zz : z) zz = rnd() * 2 - 1;
    const double u = rnd() - 0.5;
    const double xe = z[0] + 0.5 * z[1] - 0.5 * z[2] + u + 0.2 * r[2];
    r[2 + K] = 1 + 2 * xe - r[3] + r[4] + u + 0.5 * (rnd() - 0.5);
    r[3 + K] = xe;
    for (int v = 0; v < 3; ++v) r[4 + K + v] = z[v];
    for (int c = 0; c < P; ++c) store(1 + c, i + 1, r[c]);
  }
  bench::dump(d + "/p.bin", A);
  char body[2048];
  std::snprintf(body, sizeof body,
                "A=np.fromfile('%s/p.bin').reshape(-1,%d)\n"
                "ids=A[:,0].astype(np.int64); cnt=np.bincount(ids)\n"
                "D=np.ascontiguousarray(A[:,1:%d])\n"
                "def fe():\n"
                "  M=np.empty_like(D)\n"
                "  for j in range(D.shape[1]): M[:,j]=D[:,j]-(np.bincount(ids,D[:,j])/cnt)[ids]\n"
                "  np.linalg.lstsq(M[:,1:],M[:,0],rcond=None)\n"
                "one=np.ones(A.shape[0])\n"
                "W=np.column_stack([A[:,2:7],one]); Z=np.column_stack([W,A[:,%d:%d]])\n"
                "yy=A[:,%d].copy(); xx=A[:,%d].copy()\n"
                "def iv():\n"
                "  p=np.linalg.lstsq(Z,xx,rcond=None)[0]\n"
                "  np.linalg.lstsq(np.column_stack([Z@p,W]),yy,rcond=None)\n"
                "print('fe', best(fe))\n"
                "print('iv', best(iv))\n",
                dir, P, 2 + K, 4 + K, 7 + K, 2 + K, 3 + K);
  auto np = bench::numpy(d, body, reps);
  const double tf = bench::timecmd("quietly _panelreg y x1-x10, fe i(id)", reps);
  bench::report("panelreg y x1-x10, fe (1M obs, 10k panels)", tf, np["fe"], 0, n, "", "at most numpy's time");
  const double ti = bench::timecmd("quietly _ivfit iy x1-x5 (ix = z1-z3)", reps);
  bench::report("ivfit iy x1-x5 (ix = z1-z3) (1M obs)", ti, np["iv"], 0, n, "", "at most 2x numpy's two lstsq");
  std::printf("(numpy: fe is bincount demeaning plus lstsq; iv is two lstsq stages)\n");
  std::remove((d + "/p.bin").c_str());
  rmdir(dir);
  return 0;
}
