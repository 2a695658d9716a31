// .dta file throughput: `save` and `use` of 1M observations x 20 doubles
// (160 MB) against `cp` of the same file in the same run, a subset `use`
// (five variables, an `if` on a sixth) against the whole `use`, a `use` right
// after `save` (against one after cp has read the file), and a match
// `merge` of two 1M-observation files on one key. `save` syncs the file to
// disk before renaming it over the old one; plain `cp` does not, so `save`
// is set beside both `cp` to a new file and `cp` over the previous copy
// followed by `sync` of the file (the same guarantee, and like `save,
// replace` it frees the old copy's blocks). Each figure is the best of a few interleaved runs. Wall
// and CPU seconds are both printed: on a shared, loaded machine the CPU
// figures are the steadier comparison.
// Usage: bench_dta [observations] [folder] [repetitions]
#include <algorithm>
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

struct Timing {
  double wall = 1e30, cpu = 1e30;
  void best(double w, double c) { wall = std::min(wall, w), cpu = std::min(cpu, c); }
};

// CPU seconds (user and system) of finished child processes so far.
double childcpu() {
  struct rusage ru;
  getrusage(RUSAGE_CHILDREN, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Runs a command line (its figure kept in *t when given); seconds of wall time.
double timed(const std::string& line, Timing* t = nullptr) {
  double t0 = wall(), c0 = cpu();
  int rc = execline(line);
  double w = wall() - t0, c = cpu() - c0;
  std::printf("  (%s: %.3f s wall, %.3f s cpu)\n", line.c_str(), w, c);
  if (rc) {
    std::fprintf(stderr, "'%s' failed: r(%d)\n", line.c_str(), rc);
    std::exit(1);
  }
  if (t) t->best(w, c);
  return w;
}

// Runs a shell command; its wall and child CPU seconds kept in t.
void timedsys(const std::string& cmd, Timing& t) {
  double t0 = wall(), c0 = childcpu();
  if (std::system(cmd.c_str()) != 0) std::exit(1);
  double w = wall() - t0, c = childcpu() - c0;
  std::printf("  (%s: %.3f s wall, %.3f s cpu)\n", cmd.c_str(), w, c);
  t.best(w, c);
}

void ratio(const char* what, double mb, const Timing& z, const char* refname, const Timing& ref) {
  std::printf("%-42s %7.3f s wall %7.3f s cpu %7.1f MB/s | %-9s %7.3f s wall %7.3f s cpu | ratio %.2f wall %.2f cpu\n",
              what, z.wall, z.cpu, mb / z.wall, refname, ref.wall, ref.cpu, z.wall / ref.wall, z.cpu / ref.cpu);
}

}  // namespace

int main(int argc, char** argv) {
  long nobs = argc > 1 ? std::atol(argv[1]) : 1000000L;
  std::string dir = argc > 2 ? argv[2] : "/tmp";
  const int reps = argc > 3 ? std::atoi(argv[3]) : 3;
  std::string quiet;
  bench::start_quiet(&quiet);
  const std::string f1 = dir + "/bench_dta_1.dta", f2 = dir + "/bench_dta_2.dta";
  const std::string fm = dir + "/bench_dta_m.dta", fu = dir + "/bench_dta_u.dta";
  const double mb = static_cast<double>(nobs) * 160 / 1e6;

  (void)execline("set memory " + std::to_string(nobs * 400 / 1000000 + 64) + "m");
  (void)execline("set seed 1");
  (void)execline("set obs " + std::to_string(nobs));
  for (int k = 1; k <= 20; ++k) (void)execline("generate double v" + std::to_string(k) + " = uniform()");
  char what[64];
  std::snprintf(what, sizeof what, "%ld x 20 doubles (%.0f MB)", nobs, mb);
  Timing tsave, tuse, tcp, tcpsync;
  for (int r = 0; r < reps; ++r) {
    timed("save " + f1 + ", replace", &tsave);
    std::remove(f2.c_str());
    timedsys("cp " + f1 + " " + f2, tcp);
    timedsys("cp " + f1 + " " + f2 + " && sync " + f2, tcpsync);
    timed("use " + f1 + ", clear", &tuse);
  }
  std::printf("save  %s\n", what);
  ratio("  against cp to a new file, no sync", mb, tsave, "cp", tcp);
  ratio("  against cp over the old copy + sync", mb, tsave, "cp+sync", tcpsync);
  // The use row's peer is the same copy as the save row's (with sync); the
  // copy without sync, which never waits for the disk, is the stricter one.
  std::printf("use   %s\n", what);
  ratio("  against cp over the old copy + sync", mb, tuse, "cp+sync", tcpsync);
  ratio("  against cp to a new file, no sync", mb, tuse, "cp", tcp);
  double tsub = timed("use v1-v5 if v6 > 0.5 using " + f1 + ", clear");
  std::printf("use v1-v5 if v6 > 0.5 using ...       %7.3f s  (whole use %.3f s, ratio %.2f; cp %.2f)\n", tsub,
              tuse.wall, tsub / tuse.wall, tsub / tcp.wall);
  // A use right after the save, nothing read in between: it finds the file
  // in the page cache only if save left it there.
  Timing tafter;
  double worst = 0;
  (void)execline("use " + f1 + ", clear");  // the whole dataset again after the subset
  for (int r = 0; r < reps; ++r) {
    timed("save " + f1 + ", replace");
    worst = std::max(worst, timed("use " + f1 + ", clear", &tafter));
  }
  std::printf("use right after save                   %7.3f s wall (worst %.3f; use after cp %.3f)\n", tafter.wall, worst,
              tuse.wall);

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
