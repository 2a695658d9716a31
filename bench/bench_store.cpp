// Dataset store throughput: `set obs` to ten million observations, dropping
// one variable from a 20-variable dataset, and keeping 10% of the
// observations with `in`. Each is timed through the store's own routines and
// against a plain C++ loop over the same bytes in the same run.
// Usage: bench_store [observations]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "output/output.h"
#include "bench_util.h"

namespace {

using bench::wall;

void report(const char* what, double tz, double tc, double bytes) {
  std::printf("%-40s %8.3f s  %8.1f MB/s   plain loop %8.3f s   ratio %.2f\n", what, tz,
              bytes / tz / 1e6, tc, tz / tc);
}

// Keeps the optimiser from discarding a buffer.
volatile unsigned char sink;

}  // namespace

int main(int argc, char** argv) {
  long nobs = argc > 1 ? std::atol(argv[1]) : 10000000L;
  std::string quiet;
  out_set_capture(&quiet);

  // 1. set obs N on a dataset of two float variables and one double.
  ds_reset();
  if (setmemory(static_cast<uint64_t>(nobs) * 22 + (1 << 20))) return 1;
  if (addvar("a", ST_FLOAT) || addvar("b", ST_FLOAT) || addvar("c", ST_DOUBLE)) return 1;
  double t0 = wall();
  if (setobs(nobs)) return 1;
  double tz = wall() - t0;
  {
    // Plain loop: fill N records of 16 bytes with a missing-value pattern.
    std::vector<unsigned char> rec(16);
    float fm = 0x1.0p127f;
    double dm = misval;
    std::memcpy(rec.data(), &fm, 4);
    std::memcpy(rec.data() + 4, &fm, 4);
    std::memcpy(rec.data() + 8, &dm, 8);
    unsigned char* buf = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(nobs) * 16));
    double c0 = wall();
    for (long i = 0; i < nobs; ++i) std::memcpy(buf + i * 16, rec.data(), 16);
    double tc = wall() - c0;
    sink = buf[nobs * 8];
    std::free(buf);
    report("set obs (3 variables, 16-byte records)", tz, tc, static_cast<double>(nobs) * 16);
  }

  // 2. Drop the 5th of 20 variables (a mix of types).
  ds_reset();
  if (setmemory(static_cast<uint64_t>(nobs) * 86 + (1 << 20))) return 1;
  const int types[] = {ST_BYTE, ST_INT, ST_LONG, ST_FLOAT, ST_DOUBLE};
  long width = 0;
  for (int k = 0; k < 20; ++k) {
    char n[8];
    std::snprintf(n, sizeof n, "v%d", k + 1);
    if (addvar(n, types[k % 5])) return 1;
    width += typewidth(types[k % 5]);
  }
  if (setobs(nobs)) return 1;
  std::vector<int> dropme{5};
  t0 = wall();
  if (droporkeepvars(dropme, false)) return 1;
  tz = wall() - t0;
  {
    // Plain loop: close the same 8-byte gap in N contiguous records.
    long w = width, off = 1 + 2 + 4 + 4, cut = 8;
    long stride = ds.syslrecl;
    unsigned char* buf = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(nobs) * static_cast<size_t>(stride)));
    std::memset(buf, 1, static_cast<size_t>(nobs) * static_cast<size_t>(stride));  // touch every page first
    double c0 = wall();
    for (long i = 0; i < nobs; ++i) {
      unsigned char* r = buf + i * stride;
      std::memmove(r + off, r + off + cut, static_cast<size_t>(w - off - cut));
    }
    double tc = wall() - c0;
    sink = buf[stride];
    std::free(buf);
    report("drop 1 of 20 variables", tz, tc, static_cast<double>(nobs) * static_cast<double>(w));
  }

  // 3. keep in a/b, the middle tenth: compacting the observation map.
  long keepn = nobs / 10, lo = nobs / 2 + 1;
  t0 = wall();
  long gone = keepobsrange(lo, lo + keepn - 1);
  tz = wall() - t0;
  if (gone != nobs - keepn) return 1;
  {
    // Plain loop: move the kept records' map entries (4 bytes each) and
    // the freed ones behind them, as a vector of indices.
    std::vector<uint32_t> map(static_cast<size_t>(nobs));
    for (long i = 0; i < nobs; ++i) map[static_cast<size_t>(i)] = static_cast<uint32_t>(i);
    std::vector<uint32_t> out2(static_cast<size_t>(nobs));
    double c0 = wall();
    long k = 0;
    for (long i = lo - 1; i < lo - 1 + keepn; ++i) out2[static_cast<size_t>(k++)] = map[static_cast<size_t>(i)];
    for (long i = 0; i < lo - 1; ++i) out2[static_cast<size_t>(k++)] = map[static_cast<size_t>(i)];
    for (long i = lo - 1 + keepn; i < nobs; ++i) out2[static_cast<size_t>(k++)] = map[static_cast<size_t>(i)];
    double tc = wall() - c0;
    sink = static_cast<unsigned char>(out2[static_cast<size_t>(nobs - 1)]);
    report("keep in (middle tenth, map compaction)", tz, tc, static_cast<double>(nobs) * 4);
  }
  out_set_capture(nullptr);
  ds_reset();
  return 0;
}
