// Text data throughput: `insheet` and free-format `infile` of a numeric CSV
// (default 1M rows x 10 columns, about 95 MB) against a plain C++ loop that
// splits the same bytes and converts each field with strtod (and with
// std::from_chars), against numpy's loadtxt, and `insheet` against pandas'
// read_csv in wall time (best of three each, the ratio insheet is judged by); `outsheet` of the data
// against a plain snprintf("%.17g") loop and numpy's savetxt; and `post` of
// 1M rows of 5 doubles (literals and expressions). Wall and CPU seconds are printed; the machine is
// shared, so the CPU figures are the steadier comparison. outsheet syncs its
// file before renaming it, the plain loop does not.
// Usage: bench_textio [rows] [folder]
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "bench_util.h"

namespace {

constexpr int NCOL = 10;

using bench::cpu;
using bench::wall;

struct Timing {
  double wall, cpu;
};

Timing timed(const std::string& line) {
  double t0 = wall(), c0 = cpu();
  int rc = execline(line);
  Timing t{wall() - t0, cpu() - c0};
  if (rc) {
    std::fprintf(stderr, "'%s' failed: r(%d)\n", line.c_str(), rc);
    std::exit(1);
  }
  return t;
}

std::string slurp(const std::string& fn) {
  std::FILE* f = std::fopen(fn.c_str(), "rb");
  if (!f) std::exit(1);
  std::string s;
  char buf[1 << 16];
  size_t k;
  while ((k = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, k);
  std::fclose(f);
  return s;
}

volatile double sink;

// The plain loop: read the file, split at commas and line ends, convert each
// field into its column.
Timing plainread(const std::string& fn, long rows, bool fromchars) {
  double t0 = wall(), c0 = cpu();
  std::string s = slurp(fn);
  std::vector<std::vector<double>> cols(NCOL, std::vector<double>(static_cast<size_t>(rows)));
  const char* p = s.data();
  const char* e = p + s.size();
  long r = 0;
  while (p < e && r < rows) {
    for (int k = 0; k < NCOL; ++k) {
      double x;
      if (fromchars) {
        auto res = std::from_chars(p, e, x);
        p = res.ptr;
      } else {
        char* q;
        x = std::strtod(p, &q);
        p = q;
      }
      cols[static_cast<size_t>(k)][static_cast<size_t>(r)] = x;
      ++p;  // the comma or the line end
    }
    ++r;
  }
  sink = cols[3][static_cast<size_t>(rows / 2)];
  return {wall() - t0, cpu() - c0};
}

// The plain writer: snprintf("%.17g") of every value into a buffer, written
// out in 1 MB pieces.
Timing plainwrite(const std::string& fn, const std::vector<std::vector<double>>& cols, long rows) {
  double t0 = wall(), c0 = cpu();
  std::FILE* f = std::fopen(fn.c_str(), "wb");
  std::string out;
  char b[32];
  for (long r = 0; r < rows; ++r) {
    for (int k = 0; k < NCOL; ++k) {
      if (k) out.push_back(',');
      int n = std::snprintf(b, sizeof b, "%.17g", cols[static_cast<size_t>(k)][static_cast<size_t>(r)]);
      out.append(b, static_cast<size_t>(n));
    }
    out.push_back('\n');
    if (out.size() > (1 << 20)) {
      std::fwrite(out.data(), 1, out.size(), f);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
  return {wall() - t0, cpu() - c0};
}

// Seconds numpy takes inside python for the given statement (process time).
double numpy(const std::string& setup, const std::string& stmt) {
  std::string cmd = "/usr/bin/python3 -c \"import numpy as np, time\n" + setup +
                    "\nt = time.process_time()\n" + stmt + "\nprint(time.process_time() - t)\"";
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[128] = {0};
  if (!std::fgets(buf, sizeof buf, p)) buf[0] = 0;
  pclose(p);
  return std::atof(buf);
}

void report(const char* what, double mb, Timing z, Timing plain, const char* plainname, double np) {
  std::printf("%-26s %7.3f s wall %7.3f s cpu %7.1f MB/s | %-12s %6.3f s cpu  ratio %.2f | numpy %6.3f s cpu  ratio %.2f\n",
              what, z.wall, z.cpu, mb / z.cpu, plainname, plain.cpu, z.cpu / plain.cpu, np,
              np > 0 ? z.cpu / np : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 1000000L;
  std::string dir = argc > 2 ? argv[2] : "/tmp";
  std::string quiet;
  bench::start_quiet(&quiet);
  const std::string csv = dir + "/bench_textio.csv", outcsv = dir + "/bench_textio_out.csv",
                    plain = dir + "/bench_textio_plain.csv", npout = dir + "/bench_textio_np.csv",
                    post = dir + "/bench_textio_post.dta";

  // The data: values with four decimals between -1000 and 1000.
  {
    std::mt19937_64 g(1);
    std::uniform_real_distribution<double> u(-1000, 1000);
    std::FILE* f = std::fopen(csv.c_str(), "wb");
    for (long r = 0; r < rows; ++r)
      for (int k = 0; k < NCOL; ++k) std::fprintf(f, "%.4f%c", u(g), k + 1 < NCOL ? ',' : '\n');
    std::fclose(f);
  }
  const double mb = static_cast<double>(slurp(csv).size()) / 1e6;
  std::printf("%ld rows x %d columns, %.1f MB\n", rows, NCOL, mb);
  (void)execline("set memory " + std::to_string(rows * NCOL * 12 / 1000000 + 64) + "m");

  Timing pstr = plainread(csv, rows, false), pfc = plainread(csv, rows, true);
  std::printf("plain loop: strtod %.3f s cpu, from_chars %.3f s cpu\n", pstr.cpu, pfc.cpu);
  const double npread = numpy("", "a = np.loadtxt('" + csv + "', delimiter=',')");
  Timing tin = timed("insheet using " + csv + ", clear comma");
  {
    // insheet against pandas' read_csv, wall time, best of three each.
    double best = tin.wall;
    for (int r = 0; r < 2; ++r) best = std::min(best, timed("insheet using " + csv + ", clear comma").wall);
    const double pd = bench::python("import time, pandas as pd\nb=1e9\nfor r in range(3):\n    t=time.perf_counter()\n"
                                    "    d=pd.read_csv(\"" + csv + "\", header=None)\n    b=min(b,time.perf_counter()-t)\nprint(b)");
    if (pd > 0)
      std::printf("insheet %.3f s wall | pandas read_csv %.3f s wall | ratio insheet/pandas %.2f  [target: 0.5]\n", best,
                  pd, best / pd);
    else
      std::printf("insheet %.3f s wall | pandas n/a\n", best);
  }
  report("insheet", mb, tin, pstr, "strtod loop", npread);
  report("insheet", mb, tin, pfc, "from_chars", npread);
  Timing tinf = timed("infile v1-v10 using " + csv + ", clear");
  report("infile (free format)", mb, tinf, pstr, "strtod loop", npread);
  report("infile (free format)", mb, tinf, pfc, "from_chars", npread);

  std::vector<std::vector<double>> cols(NCOL, std::vector<double>(static_cast<size_t>(rows)));
  for (int k = 0; k < NCOL; ++k) col_decode(colview(k + 1), 1, rows, cols[static_cast<size_t>(k)].data());
  Timing tout = timed("outsheet using " + outcsv + ", comma nonames replace");
  Timing pw = plainwrite(plain, cols, rows);
  const double npwrite =
      numpy("a = np.loadtxt('" + csv + "', delimiter=',', max_rows=" + std::to_string(rows) + ")",
            "np.savetxt('" + npout + "', a, fmt='%.17g', delimiter=',')");
  report("outsheet", mb, tout, pw, "%.17g loop", npwrite);
  for (int k = 1; k <= NCOL; ++k) (void)execline("format v" + std::to_string(k) + " %17.0g");
  Timing tout17 = timed("outsheet using " + outcsv + ", comma nonames replace");
  report("outsheet (%17.0g)", mb, tout17, pw, "%.17g loop", npwrite);

  // post: rows of 5 doubles, one command line per row; literal values (as
  // posted from expanded macros) and expressions to compile.
  for (int exprs = 0; exprs <= 1; ++exprs) {
    (void)execline("postfile h double (a b c d e) using " + post + ", replace");
    double t0 = wall(), c0 = cpu();
    char line[200];
    for (long r = 1; r <= rows; ++r) {
      if (exprs)
        std::snprintf(line, sizeof line, "post h (%ld/3) (%ld*2) (sqrt(%ld)) (-%ld) (%ld+0.5)", r, r, r, r, r);
      else
        std::snprintf(line, sizeof line, "post h (%ld) (%ld.5) (-%ld) (0.%ld) (1e-%ld)", r, r, r, r, r % 300);
      if (execline(line)) return 1;
    }
    (void)execline("postclose h");
    std::printf("post %ld rows of 5 doubles (%s)  %7.3f s wall %7.3f s cpu (%.2f us a row)\n", rows,
                exprs ? "expressions" : "literals", wall() - t0, cpu() - c0,
                (cpu() - c0) / static_cast<double>(rows) * 1e6);
  }
  for (const std::string& f : {csv, outcsv, plain, npout, post}) std::remove(f.c_str());
  return 0;
}
