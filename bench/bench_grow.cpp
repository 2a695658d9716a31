// The growing data area: 10M observations x 20 doubles made and loaded with
// no `set` command. Prints the time of each step, how many times the cells
// were moved into a new layout (the data area should never copy them), the
// peak memory, and the making of the same 20 columns as plain C++ vectors
// in the same run as the reference.
// Usage: bench_grow [observations] [folder]
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util.h"
#include "data/arena.h"
#include "data/store.h"

namespace {

using bench::wall;

constexpr int NVAR = 20;

double peakmb() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

// Runs the lines; their wall seconds together.
double timed(const std::vector<std::string>& lines) {
  const double t0 = wall();
  for (const std::string& l : lines) bench::run(l);
  return wall() - t0;
}

void report(const char* what, double secs, double ref) {
  std::printf("%-44s %8.3f s  copies %ld  nobs %ld  nvar %d  peak %7.0f MB", what, secs, dsarena.ncopies, ds.nobs,
              ds.nvar, peakmb());
  if (ref > 0) std::printf("  | C++ vectors %.3f s, ratio %.2f", ref, secs / ref);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const long n = argc > 1 ? std::atol(argv[1]) : 10000000L;
  const std::string dir = argc > 2 ? argv[2] : "/tmp";
  const std::string file = dir + "/bench_grow.dta";
  std::string quiet;
  bench::start_quiet(&quiet);
  if (dsarena.memoryset) {
    std::fprintf(stderr, "the data area has a fixed size: nothing to measure\n");
    return 1;
  }

  // The reference: the same columns as C++ vectors, filled the same way.
  double ref;
  {
    const double t0 = wall();
    std::vector<std::vector<double>> cols(NVAR);
    for (int k = 0; k < NVAR; ++k) {
      cols[static_cast<size_t>(k)].resize(static_cast<size_t>(n));
      double* p = cols[static_cast<size_t>(k)].data();
      for (long i = 0; i < n; ++i) p[i] = static_cast<double>(i + 1) * (k + 1);
    }
    ref = wall() - t0;
    bench::sink = cols[NVAR - 1][static_cast<size_t>(n - 1)];
  }

  std::vector<std::string> make{"set obs " + std::to_string(n)};
  for (int k = 1; k <= NVAR; ++k) make.push_back("generate double x" + std::to_string(k) + " = _n * " + std::to_string(k));
  report(("make " + std::to_string(n) + " x 20 doubles (set obs, generate)").c_str(), timed(make), ref);

  std::vector<std::string> more;
  for (int k = 1; k <= 5; ++k) more.push_back("generate double y" + std::to_string(k) + " = x" + std::to_string(k) + " + 1");
  report("five more variables", timed(more), 0);

  bench::run("drop y*");
  bench::run("save \"" + file + "\", replace");
  bench::run("drop _all");
  report("use of the saved file", timed({"use \"" + file + "\""}), 0);
  bench::run("assert x20 == 20 * _n in " + std::to_string(n - 5) + "/l");
  std::remove(file.c_str());

  report("1000 more observations (set obs)", timed({"set obs " + std::to_string(n + 1000)}), 0);
  std::printf("memory reported: %.0f MB; the cells were copied into a new layout %ld times\n",
              static_cast<double>(memory_reported()) / 1048576.0, dsarena.ncopies);
  return 0;
}
