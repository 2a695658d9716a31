// Likelihood estimators beside statsmodels on the same values (Debian's
// python3-statsmodels in a child process, one BLAS thread), measured in this
// run: logit and poisson of 1M observations on 10 regressors, each against
// statsmodels' Logit/Poisson fit (Newton, the same tolerance class), with a
// plain C++ loop of the same Newton iterations (gradient and Hessian over the
// data, Cholesky solve) as the floor.
// Usage: bench_estimators [scale] [repetitions]   (scale 1 = 1M observations)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <lapacke.h>
#include <unistd.h>

#include "bench_util.h"
#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"

namespace {

using bench::dump;
using bench::report;
using bench::timecmd;

bench::Rng rnd;
constexpr int K = 10;

// Newton iterations of the logit (poisson when count) likelihood over the
// row-major data X (y, x1..xK), a plain loop; returns the iterations.
int plainnewton(const std::vector<double>& X, long n, bool count) {
  const int P = K + 1;
  std::vector<double> b(P, 0), g(P), H(P * P), z(P);
  double llprev = 0;
  for (int it = 0; it < 50; ++it) {
    std::fill(g.begin(), g.end(), 0);
    std::fill(H.begin(), H.end(), 0);
    double ll = 0;
    for (long i = 0; i < n; ++i) {
      const double* r = &X[static_cast<size_t>(i) * (K + 1)];
      double e = b[K];
      for (int j = 0; j < K; ++j) e += b[j] * r[1 + j];
      double d1, d2;
      if (count) {
        const double mu = std::exp(e);
        ll += r[0] * e - mu;
        d1 = r[0] - mu, d2 = mu;
      } else {
        const double p = 1 / (1 + std::exp(-e));
        ll += r[0] != 0 ? std::log(p) : std::log1p(-p);
        d1 = r[0] - p, d2 = p * (1 - p);
      }
      for (int j = 0; j < K; ++j) z[j] = r[1 + j];
      z[K] = 1;
      for (int a = 0; a < P; ++a) {
        g[a] += d1 * z[a];
        for (int c = 0; c <= a; ++c) H[a * P + c] += d2 * z[a] * z[c];
      }
    }
    if (it > 0 && std::fabs(ll - llprev) < 1e-10 * std::fabs(ll)) return it;
    llprev = ll;
    if (LAPACKE_dposv(LAPACK_ROW_MAJOR, 'L', P, 1, H.data(), P, g.data(), 1)) return -1;
    for (int j = 0; j < P; ++j) b[j] += g[j];
  }
  return 50;
}

}  // namespace

int main(int argc, char** argv) {
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  const int reps = argc > 2 ? std::atoi(argv[2]) : 3;
  const long n = static_cast<long>(1000000 * scale);
  std::string quiet;
  out_set_capture(&quiet);
  cmdinit_table();
  char dir[] = "/tmp/zelta_bench_est_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string d = dir;
  std::printf("(2 shared cores: figures are noisy; statsmodels runs with one BLAS thread)\n");
  ds_reset();
  if (setmemory(static_cast<uint64_t>(n) * 8 * 13 + (64 << 20))) return 1;
  if (addvar("y", ST_DOUBLE) || addvar("c", ST_DOUBLE)) return 1;
  for (int v = 0; v < K; ++v)
    if (addvar(("x" + std::to_string(v + 1)).c_str(), ST_DOUBLE)) return 1;
  if (setobs(n)) return 1;
  std::vector<double> X(static_cast<size_t>(n) * (K + 1)), C(static_cast<size_t>(n) * (K + 1));
  for (long i = 0; i < n; ++i) {
    double e = -0.5;
    for (int v = 0; v < K; ++v) {
      const double xv = rnd() * 2 - 1;
      X[static_cast<size_t>(i) * (K + 1) + 1 + static_cast<size_t>(v)] = xv;
      C[static_cast<size_t>(i) * (K + 1) + 1 + static_cast<size_t>(v)] = xv;
      store(3 + v, i + 1, xv);
      e += (v % 2 ? 0.1 : -0.1) * (v + 1) * 0.2 * xv;
    }
    const double y = rnd() < 1 / (1 + std::exp(-e)) ? 1 : 0;
    // A Poisson count with mean exp(e + 0.5) by inversion.
    const double mu = std::exp(e + 0.5), u = rnd();
    double cnt = 0, pk = std::exp(-mu), cum = pk;
    while (u > cum && cnt < 100) {
      ++cnt;
      pk *= mu / cnt;
      cum += pk;
    }
    X[static_cast<size_t>(i) * (K + 1)] = y;
    C[static_cast<size_t>(i) * (K + 1)] = cnt;
    store(1, i + 1, y);
    store(2, i + 1, cnt);
  }
  dump(d + "/l.bin", X);
  dump(d + "/c.bin", C);
  char body[2048];
  std::snprintf(body, sizeof body,
                "import statsmodels.api as sm\n"
                "A=np.fromfile('%s/l.bin').reshape(-1,%d); B=np.fromfile('%s/c.bin').reshape(-1,%d)\n"
                "XA=sm.add_constant(A[:,1:], prepend=False); XB=sm.add_constant(B[:,1:], prepend=False)\n"
                "yA=A[:,0].copy(); yB=B[:,0].copy()\n"
                "def lg():\n"
                "  r=sm.Logit(yA,XA).fit(method='newton',disp=0); r.bse\n"
                "def po():\n"
                "  r=sm.Poisson(yB,XB).fit(method='newton',disp=0); r.bse\n"
                "print('logit', best(lg))\n"
                "print('poisson', best(po))\n",
                dir, K + 1, dir, K + 1);
  auto sm = bench::numpy(d, body, reps);
  const double tl = timecmd("quietly _logit y x1-x10", reps);
  const double tlc = bench::best([&] { bench::sink = plainnewton(X, n, false); }, reps);
  report("logit y x1-x10 (1M) vs statsmodels Logit", tl, sm["logit"], tlc, n, "C++ Newton",
         "at most 0.5 of statsmodels");
  const double tp = timecmd("quietly _poisson c x1-x10", reps);
  const double tpc = bench::best([&] { bench::sink = plainnewton(C, n, true); }, reps);
  report("poisson c x1-x10 (1M) vs statsmodels Poisson", tp, sm["poisson"], tpc, n, "C++ Newton",
         "at most 0.5 of statsmodels");
  std::printf("(the numpy column is statsmodels' fit)\n");
  std::remove((d + "/l.bin").c_str());
  std::remove((d + "/c.bin").c_str());
  rmdir(dir);
  return 0;
}
