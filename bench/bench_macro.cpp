// Macro and loop throughput through the real interpreter: a do-file running
// `forvalues i = 1/N { local s = `s' + 1 }` against python3's
// `for i in range(N): s = s + 1` (the ratio the loop is judged by),
// `forvalues i = 1/N { local s = `s' + `i' }` and a foreach over a
// 10,000-word local against python3 running the same string -> number ->
// string loops, all in the same run (the first pair's figures each the best
// of three).
// Usage: bench_macro [N]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "output/output.h"
#include "bench_util.h"

namespace {

using bench::python;

// Runs a do-file through the interpreter; returns seconds, or -1.
double zelta(const std::string& path, std::string& captured) {
  out_set_capture(&captured);
  double t0 = bench::wall();
  int rc = execline("do \"" + path + "\"");
  double t1 = bench::wall();
  out_set_capture(nullptr);
  if (rc) {
    std::fprintf(stderr, "do-file failed with r(%d):\n%s\n", rc, captured.c_str());
    return -1;
  }
  return t1 - t0;
}

}  // namespace

int main(int argc, char** argv) {
  const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
  const int nwords = 10000, reps = 20;
  interp.embedded = true;
  cmdinit_table();
  char dir[] = "/tmp/zelta_bench_macro_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string f1 = std::string(dir) + "/forv.do", f2 = std::string(dir) + "/fe.do";
  const std::string f0 = std::string(dir) + "/incr.do";
  if (FILE* f = std::fopen(f0.c_str(), "w")) {
    std::fprintf(f, "local s 0\nforvalues i = 1/%ld {\n    local s = `s' + 1\n}\nglobal RESULT `s'\n", n);
    std::fclose(f);
  }
  if (FILE* f = std::fopen(f1.c_str(), "w")) {
    std::fprintf(f, "local s 0\nforvalues i = 1/%ld {\n    local s = `s' + `i'\n}\nglobal RESULT `s'\n", n);
    std::fclose(f);
  }
  if (FILE* f = std::fopen(f2.c_str(), "w")) {
    std::fprintf(f, "local L $WORDS\nlocal c 0\nforvalues r = 1/%d {\n    foreach w of local L {\n"
                    "        local c = `c' + 1\n    }\n}\nglobal RESULT `c'\n", reps);
    std::fclose(f);
  }
  std::string words;
  for (int i = 0; i < nwords; ++i) words += (i ? " w" : "w") + std::to_string(i);
  macset_global("WORDS", words);

  std::string cap;
  // best of three, as python3's figure is
  double tz0 = zelta(f0, cap);
  for (int r = 0; r < 2 && tz0 >= 0; ++r) {
    cap.clear();
    const double t = zelta(f0, cap);
    tz0 = t < 0 ? t : std::min(tz0, t);
  }
  const std::string* r0 = macget_global("RESULT");
  std::string res0 = r0 ? *r0 : "?";
  cap.clear();
  const double tz1 = zelta(f1, cap);
  const std::string* r1 = macget_global("RESULT");
  std::string res1 = r1 ? *r1 : "?";
  cap.clear();
  const double tz2 = zelta(f2, cap);
  const std::string* r2 = macget_global("RESULT");
  std::string res2 = r2 ? *r2 : "?";

  const std::string py1 =
      "import time\nt=time.perf_counter()\ns=\"0\"\nfor i in range(1," + std::to_string(n + 1) +
      "):\n    v=str(i)\n    s=\"%.16g\" % (float(s)+float(v))\nprint(time.perf_counter()-t)";
  const std::string py2 =
      "import time\nL=\" \".join(\"w\"+str(i) for i in range(" + std::to_string(nwords) +
      "))\nt=time.perf_counter()\nc=\"0\"\nfor r in range(" + std::to_string(reps) +
      "):\n    for w in L.split():\n        c=\"%.16g\" % (float(c)+1)\nprint(time.perf_counter()-t)";
  const std::string py0 = "import time\nb=1e9\nfor r in range(3):\n    t=time.perf_counter()\n    s=0\n"
                          "    for i in range(1," + std::to_string(n + 1) + "):\n        s = s + 1\n"
                          "    b=min(b,time.perf_counter()-t)\nprint(b)";
  const double tp0 = python(py0), tp1 = python(py1), tp2 = python(py2);
  std::printf("forvalues 1/%ld, local s = `s' + 1 (s = %s)\n", n, res0.c_str());
  std::printf("  zelta:   %.3f s  %.0f iterations/s\n", tz0, static_cast<double>(n) / tz0);
  std::printf("  python3 (s = s + 1): %.3f s  %.0f iterations/s\n", tp0, static_cast<double>(n) / tp0);
  std::printf("  ratio zelta/python3 time: %.2f  [target: 1.5]\n", tz0 / tp0);

  const double it2 = static_cast<double>(nwords) * reps;
  std::printf("forvalues 1/%ld, local s = `s' + `i' (s = %s)\n", n, res1.c_str());
  std::printf("  zelta:   %.3f s  %.0f iterations/s\n", tz1, static_cast<double>(n) / tz1);
  std::printf("  python3: %.3f s  %.0f iterations/s\n", tp1, static_cast<double>(n) / tp1);
  std::printf("  ratio zelta/python3 time: %.2f\n", tz1 / tp1);
  std::printf("foreach over a %d-word local, %d times, local c = `c' + 1 (c = %s)\n", nwords, reps, res2.c_str());
  std::printf("  zelta:   %.3f s  %.0f iterations/s\n", tz2, it2 / tz2);
  std::printf("  python3: %.3f s  %.0f iterations/s\n", tp2, it2 / tp2);
  std::printf("  ratio zelta/python3 time: %.2f\n", tz2 / tp2);
  std::remove(f0.c_str());
  std::remove(f1.c_str());
  std::remove(f2.c_str());
  rmdir(dir);
  return tz0 < 0 || tz1 < 0 || tz2 < 0 ? 1 : 0;
}
