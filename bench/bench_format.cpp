// Display-format rendering throughput: values per second through sreforms
// under the formats that tables and `list` use most, beside a plain C++ loop
// that prints the same values with snprintf in the same run.
#include <chrono>
#include <cstdio>
#include <vector>

#include "output/format.h"

namespace {

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main() {
  constexpr int N = 1000000;
  std::vector<double> v(N);
  for (int i = 0; i < N; ++i) v[static_cast<size_t>(i)] = (i % 1000 - 500) * 1234.5678 / (1 + i % 7);
  size_t sink = 0;

  auto p0 = std::chrono::steady_clock::now();
  char buf[64];
  for (double x : v) sink += static_cast<size_t>(std::snprintf(buf, sizeof buf, "%9.7g", x));
  auto p1 = std::chrono::steady_clock::now();
  const double plain = seconds(p0, p1);
  std::printf("plain snprintf %%9.7g   %8.2f Mvalues/s\n", N / plain / 1e6);

  for (const char* f : {"%9.0g", "%10.2f", "%12.0gc", "%10.3e", "%td"}) {
    auto t0 = std::chrono::steady_clock::now();
    for (double x : v) sink += sreforms(f, x)[0] == ' ';
    auto t1 = std::chrono::steady_clock::now();
    const double s = seconds(t0, t1);
    std::printf("sreforms %-8s       %8.2f Mvalues/s  (%.2fx the plain loop's time)\n", f,
                N / s / 1e6, s / plain);
  }
  return sink == 0 ? 1 : 0;
}
