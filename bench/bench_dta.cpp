// .dta file throughput: `save` and `use` of 1M observations x 20 doubles
// (160 MB) against `cp` of the same file in the same run, a subset `use`
// (five variables, an `if` on a sixth) against the whole `use`, and a match
// `merge` of two 1M-observation files on one key. `save` syncs the file to
// disk before renaming it; `cp` does not, so its figure is a floor. Wall and
// CPU seconds are both printed: on a shared, loaded machine the CPU figures
// are the steadier comparison.
// Usage: bench_dta [observations] [folder]
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <string>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "bench_util.h"

namespace {

using bench::cpu;
using bench::wall;

double timed(const std::string& line) {
  double t0 = wall(), c0 = cpu();
  int rc = execline(line);
  double t = wall() - t0;
  std::printf("  (%s: %.3f s wall, %.3f s cpu)\n", line.c_str(), t, cpu() - c0);
  if (rc) {
    std::fprintf(stderr, "'%s' failed: r(%d)\n", line.c_str(), rc);
    std::exit(1);
  }
  return t;
}

// CPU seconds (user and system) of finished child processes so far.
double childcpu() {
  struct rusage ru;
  getrusage(RUSAGE_CHILDREN, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double timedsys(const std::string& cmd) {
  double t0 = wall(), c0 = childcpu();
  if (std::system(cmd.c_str()) != 0) std::exit(1);
  double t = wall() - t0;
  std::printf("  (%s: %.3f s wall, %.3f s cpu)\n", cmd.c_str(), t, childcpu() - c0);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  long nobs = argc > 1 ? std::atol(argv[1]) : 1000000L;
  std::string dir = argc > 2 ? argv[2] : "/tmp";
  std::string quiet;
  bench::start_quiet(&quiet);
  const std::string f1 = dir + "/bench_dta_1.dta", f2 = dir + "/bench_dta_2.dta";
  const std::string fm = dir + "/bench_dta_m.dta", fu = dir + "/bench_dta_u.dta";
  const double mb = static_cast<double>(nobs) * 160 / 1e6;

  (void)execline("set memory " + std::to_string(nobs * 400 / 1000000 + 64) + "m");
  (void)execline("set seed 1");
  (void)execline("set obs " + std::to_string(nobs));
  for (int k = 1; k <= 20; ++k) (void)execline("generate double v" + std::to_string(k) + " = uniform()");
  double tsave = timed("save " + f1 + ", replace");
  double tcp1 = timedsys("cp " + f1 + " " + f2);
  double tuse = timed("use " + f1 + ", clear");
  double tcp2 = timedsys("cp " + f1 + " " + f2);
  double tcp = tcp1 < tcp2 ? tcp1 : tcp2;
  std::printf("save  %ld x 20 doubles (%.0f MB)   %7.3f s  %7.1f MB/s   cp %7.3f s   ratio %.2f\n", nobs, mb,
              tsave, mb / tsave, tcp, tsave / tcp);
  std::printf("use   %ld x 20 doubles (%.0f MB)   %7.3f s  %7.1f MB/s   cp %7.3f s   ratio %.2f\n", nobs, mb,
              tuse, mb / tuse, tcp, tuse / tcp);
  double tsub = timed("use v1-v5 if v6 > 0.5 using " + f1 + ", clear");
  std::printf("use v1-v5 if v6 > 0.5 using ...       %7.3f s  (whole use %.3f s, ratio %.2f; cp %.2f)\n", tsub,
              tuse, tsub / tuse, tsub / tcp);

  // Merge: master and using of nobs observations each, keys interleaved so
  // that half match.
  (void)execline("drop _all");
  (void)execline("set obs " + std::to_string(nobs));
  (void)execline("generate long id = 2 * _n");
  (void)execline("generate double y = uniform()");
  (void)execline("sort id");
  (void)execline("save " + fu + ", replace");
  (void)execline("drop _all");
  (void)execline("set obs " + std::to_string(nobs));
  (void)execline("generate long id = 4 * _n");
  (void)execline("generate double x = uniform()");
  (void)execline("sort id");
  (void)execline("save " + fm + ", replace");
  double tmerge = timed("_merge id using " + fu);
  std::printf("merge %ld x %ld on one key              %7.3f s  (%ld observations after)\n", nobs, nobs, tmerge,
              ds.nobs);
  std::remove(f1.c_str());
  std::remove(f2.c_str());
  std::remove(fm.c_str());
  std::remove(fu.c_str());
  return 0;
}
