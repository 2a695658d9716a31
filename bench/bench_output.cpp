// Output throughput: renders 1,000,000 short ZMCL table lines (colour tags,
// {col}, {hline}) through the output channel to a plain-text log, and writes
// the same rendered bytes with plain fwrite, one line per call, in the same
// run. Prints lines per second for both and their ratio.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "output/output.h"
#include "bench_util.h"

namespace {

using bench::wall;

}  // namespace

int main(int argc, char** argv) {
  const long nlines = argc > 1 ? std::atol(argv[1]) : 1000000;
  // A small set of varied lines, as a table would print them.
  std::vector<std::string> lines;
  for (int i = 0; i < 16; ++i) {
    char b[200];
    std::snprintf(b, sizeof b,
                  "{txt}%8s {c |}{res}{col 14}%9.0g{col 25}%9.4f{col 37}%5d{txt}{col 44}{hline %d}\n",
                  i % 2 ? "price" : "mpg", 1234.5 * i, 0.25 * i, 74 - i, 10 + i);
    lines.push_back(b);
  }

  // Rendered form of every line, captured once for the plain baseline.
  std::vector<std::string> plain;
  std::string cap;
  out_set_capture(&cap);
  out_set_linesize(80);
  for (auto& l : lines) {
    cap.clear();
    spoutsml(l.c_str());
    out_flush_all();
    plain.push_back(cap);
  }
  out_set_capture(nullptr);

  std::FILE* devnull = std::fopen("/dev/null", "w");
  if (!devnull) return 1;
  out_console_enable(false);
  int h = out_attach_log(devnull, false);

  // Each measurement is repeated and the fastest run kept, so that other work
  // on the machine disturbs the ratio less.
  double trender = 1e30, tplain = 1e30;
  size_t bytes = 0;
  std::FILE* devnull2 = std::fopen("/dev/null", "w");
  if (!devnull2) return 1;
  for (int rep = 0; rep < 3; ++rep) {
    double t0 = wall();
    for (long i = 0; i < nlines; ++i) spoutsml(lines[static_cast<size_t>(i & 15)].c_str());
    out_flush_all();
    trender = std::min(trender, wall() - t0);

    bytes = 0;
    t0 = wall();
    for (long i = 0; i < nlines; ++i) {
      const std::string& p = plain[static_cast<size_t>(i & 15)];
      std::fwrite(p.data(), 1, p.size(), devnull2);
      bytes += p.size();
    }
    std::fflush(devnull2);
    tplain = std::min(tplain, wall() - t0);
  }
  out_detach_log(h);

  std::printf("lines: %ld (%zu rendered bytes)\n", nlines, bytes);
  std::printf("ZMCL render to text log: %.3f s, %.0f lines/s\n", trender, nlines / trender);
  std::printf("plain fwrite of same bytes: %.3f s, %.0f lines/s\n", tplain, nlines / tplain);
  std::printf("ratio render/fwrite: %.2f\n", trender / tplain);
  std::fclose(devnull);
  std::fclose(devnull2);
  return 0;
}
