// The harness every benchmark shares: two clocks, best-of-N timing of
// interpreter commands and of plain C++ loops, a small deterministic random
// source, scratch files for the numpy side, the python3 child that times the
// numpy version of the same work, and the one-line report beside it.
// Header-only: each bench_*.cpp is its own program.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"

namespace bench {

// Starts the interpreter as a batch run with every line of output dropped
// into *sink (the caller keeps it alive for the run).
inline void start_quiet(std::string* sink) {
  interp.embedded = true;
  out_open_console(false, 80);
  out_console_enable(false);
  out_set_capture(sink);
  cmdinit_table();
}

// Wall seconds on a monotonic clock.
inline double wall() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Processor seconds of this process: on a shared machine wall time mostly
// measures the other users, so the compiled-language figures use this.
inline double cpu() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Processor seconds of the calling thread, for work that runs on it alone:
// process time would also count the maths library's pool, whose threads
// spin idle for a while after the program starts and after each call.
inline double threadcpu() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Written by the reference loops so the compiler cannot drop their work.
inline volatile double sink;

// Runs one command line; a benchmark whose command fails has no figure.
inline void run(const std::string& cmd) {
  if (int rc = execline(cmd)) {
    std::fprintf(stderr, "command failed (r(%d)): %s\n", rc, cmd.c_str());
    std::exit(1);
  }
}

// Best of reps runs of f on the given clock.
template <class F>
double best(F f, int reps, double (*clock)() = wall) {
  double b = 1e30;
  for (int r = 0; r < reps; ++r) {
    double t0 = clock();
    f();
    b = std::min(b, clock() - t0);
  }
  return b;
}

// Best of reps runs of the commands in a row, each run preceded by setup
// (untimed).
inline double timecmds(const std::vector<std::string>& cmds, const std::function<void()>& setup, int reps) {
  double b = 1e30;
  for (int r = 0; r < reps; ++r) {
    if (setup) setup();
    double t0 = wall();
    for (const auto& c : cmds) run(c);
    b = std::min(b, wall() - t0);
  }
  return b;
}

inline double timecmd(const std::string& cmd, int reps, const std::function<void()>& setup = {}) {
  return timecmds({cmd}, setup, reps);
}

// The same with a command line as the untimed setup ("" for none).
inline double timecmd(const std::string& cmd, int reps, const std::string& setup) {
  return timecmd(cmd, reps, [&] { if (!setup.empty()) run(setup); });
}

// xorshift64: the same values on every run and on both sides of a ratio.
struct Rng {
  uint64_t s = 88172645463325252ULL;
  uint64_t next() {
    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
    return s;
  }
  // Uniform on [0, 1).
  double operator()() { return static_cast<double>(next() >> 11) * 0x1p-53; }
};

// The plain-loop reference for `uniform()`: the same combined generator
// (a multiply-with-carry pair, an xorshift and a congruential step) over n
// floats.
inline void uniform_floats(float* out, long n) {
  uint32_t a = 123456789, b = 521288629, c = 362436069, d = 2262615;
  for (long i = 0; i < n; ++i) {
    b ^= b << 13, b ^= b >> 17, b ^= b << 5;
    c = 65184 * (c & 65535) + (c >> 16);
    d = 63663 * (d & 65535) + (d >> 16);
    a = 69069 * a + 1234567;
    out[i] = static_cast<float>((a + b + c + (d << 16)) * 0x1p-32);
  }
}

// Writes raw bytes for numpy's fromfile.
inline void dump(const std::string& path, const void* p, size_t bytes) {
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(p, 1, bytes, f);
    std::fclose(f);
  }
}

inline void dump(const std::string& path, const std::vector<double>& v) { dump(path, v.data(), v.size() * 8); }

// Runs body in python3 with numpy and one BLAS thread (the machine's own
// kernel choice left out, so numpy picks its kernel as it would anywhere).
// The body prints lines "name seconds"; it may call best(fn) for the best of
// reps runs, or best(fn, k) for k runs. Returns name -> seconds, empty when
// numpy is not available.
// With samekernel the child keeps this environment's kernel choice, as
// this process has it, for a like-for-like figure beside the usual one.
inline std::map<std::string, double> numpy(const std::string& dir, const std::string& body, int reps,
                                           bool samekernel = false) {
  const std::string py = dir + "/bench.py";
  std::FILE* f = std::fopen(py.c_str(), "w");
  if (!f) return {};
  std::fprintf(f,
               "import time, numpy as np\n"
               "reps=%d\n"
               "def best(fn, k=None):\n"
               "  b=1e30\n"
               "  for r in range(k or reps):\n"
               "    t0=time.perf_counter(); fn(); b=min(b, time.perf_counter()-t0)\n"
               "  return b\n"
               "%s",
               reps, body.c_str());
  std::fclose(f);
  const std::string cmd = std::string(samekernel ? "env " : "env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE ") +
                          "OPENBLAS_NUM_THREADS=1 OMP_NUM_THREADS=1 /usr/bin/python3 " + py + " 2>/dev/null";
  std::map<std::string, double> r;
  if (std::FILE* p = popen(cmd.c_str(), "r")) {
    char name[64];
    double t;
    while (std::fscanf(p, "%63s %lf", name, &t) == 2) r[name] = t;
    pclose(p);
  }
  std::remove(py.c_str());
  return r;
}

// Seconds printed by a python3 snippet that times itself, or -1.
inline double python(const std::string& code) {
  const std::string cmd = "/usr/bin/python3 -c '" + code + "' 2>/dev/null";
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  double t = -1;
  if (std::fscanf(p, "%lf", &t) != 1) t = -1;
  pclose(p);
  return t;
}

// One line: our time, numpy's (0 when absent) and the plain loop's, each
// with its ratio; nobs > 0 adds throughput, target names the goal.
inline void report(const char* what, double tz, double tn, double tc, long nobs = 0,
                   const char* loopname = "C++ loop", const char* target = nullptr) {
  std::printf("%-42s zelta %8.1f ms", what, tz * 1e3);
  if (nobs > 0) std::printf(" %6.1f Mobs/s", static_cast<double>(nobs) / tz / 1e6);
  if (tn > 0)
    std::printf(" | numpy %8.1f ms (zelta/numpy %.2f)", tn * 1e3, tz / tn);
  else
    std::printf(" | numpy n/a");
  if (tc > 0) std::printf(" | %s %8.1f ms (zelta/loop %.2f)", loopname, tc * 1e3, tz / tc);
  if (target) std::printf("  [target: %s]", target);
  std::printf("\n");
}

}  // namespace bench
