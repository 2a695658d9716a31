// Survival and quantile regression beside statsmodels on the same values
// (Debian's python3-statsmodels in a child process, one BLAS thread),
// measured in this run: cox of 1M observations on 10 covariates (Breslow
// ties, 30% censored) against statsmodels' PHReg fit, and qreg of 100k
// observations on 5 regressors (median) against statsmodels' QuantReg.
// Usage: bench_survival [scale] [repetitions]   (scale 1 = the sizes above)
#include <cmath>
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

using bench::dump;
using bench::report;
using bench::timecmd;

bench::Rng rnd;

// A standard normal draw (Box-Muller).
double gauss() {
  const double u = std::max(rnd(), 1e-300), v = rnd();
  return std::sqrt(-2 * std::log(u)) * std::cos(2 * M_PI * v);
}

}  // namespace

int main(int argc, char** argv) {
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  const int reps = argc > 2 ? std::atoi(argv[2]) : 1;
  const long nc = static_cast<long>(1000000 * scale), nq = static_cast<long>(100000 * scale);
  constexpr int KC = 10, KQ = 5;
  std::string quiet;
  out_set_capture(&quiet);
  cmdinit_table();
  char dir[] = "/tmp/zelta_bench_surv_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string d = dir;
  std::printf("(2 shared cores: figures are noisy; statsmodels runs with one BLAS thread)\n");
  // cox: t exponential with rate exp(xb), censored by an independent exponential.
  ds_reset();
  if (setmemory(static_cast<uint64_t>(nc) * 8 * (KC + 3) + (64 << 20))) return 1;
  if (addvar("t", ST_DOUBLE) || addvar("d", ST_DOUBLE)) return 1;
  for (int v = 0; v < KC; ++v)
    if (addvar(("x" + std::to_string(v + 1)).c_str(), ST_DOUBLE)) return 1;
  if (setobs(nc)) return 1;
  std::vector<double> C(static_cast<size_t>(nc) * (KC + 2));
  for (long i = 0; i < nc; ++i) {
    double e = 0;
    double* r = &C[static_cast<size_t>(i) * (KC + 2)];
    for (int v = 0; v < KC; ++v) {
      const double xv = rnd() * 2 - 1;
      r[2 + v] = xv;
      store(3 + v, i + 1, xv);
      e += (v % 2 ? 0.1 : -0.1) * (v + 1) * 0.1 * xv;
    }
    const double t = -std::log(std::max(rnd(), 1e-300)) / std::exp(e);
    const double c = -std::log(std::max(rnd(), 1e-300)) / 0.43;
    r[0] = std::min(t, c);
    r[1] = t <= c ? 1 : 0;
    store(1, i + 1, r[0]);
    store(2, i + 1, r[1]);
  }
  dump(d + "/c.bin", C);
  char body[2048];
  std::snprintf(body, sizeof body,
                "import statsmodels.api as sm\n"
                "A=np.fromfile('%s/c.bin').reshape(-1,%d)\n"
                "def ph():\n"
                "  r=sm.PHReg(A[:,0],A[:,2:],status=A[:,1],ties='breslow').fit(); r.bse\n"
                "print('cox', best(ph))\n",
                dir, KC + 2);
  auto sm = bench::numpy(d, body, reps);
  const double tc = timecmd("quietly cox t x1-x10, dead(d) nolog", reps);
  report("cox t x1-x10 (1M) vs statsmodels PHReg", tc, sm["cox"], 0, nc, "", "at most statsmodels");
  std::remove((d + "/c.bin").c_str());
  // qreg: y = xb + skewed noise.
  ds_reset();
  if (setmemory(static_cast<uint64_t>(nq) * 8 * (KQ + 2) + (64 << 20))) return 1;
  if (addvar("y", ST_DOUBLE)) return 1;
  for (int v = 0; v < KQ; ++v)
    if (addvar(("x" + std::to_string(v + 1)).c_str(), ST_DOUBLE)) return 1;
  if (setobs(nq)) return 1;
  std::vector<double> Q(static_cast<size_t>(nq) * (KQ + 1));
  for (long i = 0; i < nq; ++i) {
    double* r = &Q[static_cast<size_t>(i) * (KQ + 1)];
    double y = 1;
    for (int v = 0; v < KQ; ++v) {
      r[1 + v] = gauss();
      store(2 + v, i + 1, r[1 + v]);
      y += 0.3 * (v + 1) * r[1 + v];
    }
    y += -std::log(std::max(rnd(), 1e-300)) * (1 + 0.2 * std::fabs(r[1])) + 0.5 * gauss();
    r[0] = y;
    store(1, i + 1, y);
  }
  dump(d + "/q.bin", Q);
  std::snprintf(body, sizeof body,
                "import statsmodels.api as sm\n"
                "B=np.fromfile('%s/q.bin').reshape(-1,%d)\n"
                "XB=sm.add_constant(B[:,1:], prepend=False)\n"
                "def qr():\n"
                "  r=sm.QuantReg(B[:,0],XB).fit(q=0.5); r.bse\n"
                "print('qreg', best(qr))\n",
                dir, KQ + 1);
  sm = bench::numpy(d, body, reps);
  const double tq = timecmd("quietly _qreg y x1-x5", reps);
  report("qreg y x1-x5 (100k) vs statsmodels QuantReg", tq, sm["qreg"], 0, nq, "", "at most statsmodels");
  std::printf("(the numpy column is statsmodels' fit)\n");
  std::remove((d + "/q.bin").c_str());
  rmdir(dir);
  return 0;
}
