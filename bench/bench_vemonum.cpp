// Speed of the Vemo numeric and sandwich built-ins against numpy doing the
// same work in the same run: the Fourier transform of 2^20 points (radix 2)
// and of 10^6 points (mixed radix), the generalized inverse of a 400 x 300
// matrix, and the clustered sandwich variance of 10^6 x 10 scores in 1000
// clusters. Times are processor times, best of 3 (2 shared cores: figures
// are noisy).
// Usage: bench_vemonum [observations]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "interp/cmdtab.h"
#include "output/output.h"
#include "vemo/vemo.h"
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

double timed(const std::string& line) {
  return bench::best([&] { run(line); }, 3, bench::cpu);
}

}  // namespace

int main(int argc, char** argv) {
  const long nobs = argc > 1 ? std::atol(argv[1]) : 1000000;
  std::string quiet;
  out_set_capture(&quiet);
  cmdinit_table();
  vemo_start();
  const std::string N = std::to_string(nobs);
  std::printf("Vemo numeric built-ins (2 shared cores: figures are noisy; best of 3, processor time)\n");

  auto ref = bench::numpy(
      "/tmp",
      "x = np.random.rand(1048576) + 1j*np.random.rand(1048576)\n"
      "print('fft2', best(lambda: np.fft.fft(x)))\n"
      "y = np.random.rand(" + N + ") + 1j*np.random.rand(" + N + ")\n"
      "print('fftm', best(lambda: np.fft.fft(y)))\n"
      "A = np.random.rand(400, 300)\n"
      "print('pinv', best(lambda: np.linalg.pinv(A)))\n"
      "X = np.random.rand(" + N + ", 10); e = np.random.rand(" + N + "); c = np.random.randint(0, 1000, " + N + ")\n"
      "V = np.linalg.inv(X.T @ X)\n"
      "def sw():\n"
      "  S = X * e[:, None]\n"
      "  Z = np.zeros((1000, 10)); np.add.at(Z, c, S)\n"
      "  return V @ (Z.T @ Z) @ V\n"
      "print('robust', best(sw))\n",
      3);
  auto get = [&](const char* k) { return ref.count(k) ? ref[k] : 0.0; };

  run("x = C(uniform(1, 1048576), uniform(1, 1048576))");
  double t = timed("h = x; _fft(h)");
  bench::report("_fft 2^20 points", t, get("fft2"), 0);
  run("x = C(uniform(1, " + N + "), uniform(1, " + N + "))");
  t = timed("h = x; _fft(h)");
  bench::report(("_fft " + N + " points").c_str(), t, get("fftm"), 0);
  run("A = uniform(400, 300)");
  t = timed("G = ginvr(A)");
  bench::report("ginvr 400 x 300", t, get("pinv"), 0);
  run("X = uniform(" + N + ", 10); e = uniform(" + N + ", 1); c = floor(1000*uniform(" + N + ", 1))");
  run("V0 = invsym(cross(X, X))");
  t = timed("V = V0; (void) _robust(V, X, e, c)");
  bench::report(("_robust " + N + " x 10, 1000 clusters").c_str(), t, get("robust"), 0, nobs);
  return 0;
}
