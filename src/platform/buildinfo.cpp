// What this executable is made of, for `about` and `query build`: the
// compiler, build type and date fixed when this file was compiled, and the
// versions of the linked libraries, asked of the libraries themselves at run
// time where they can say (headers only know what the build was made against).
#include <gnu/libc-version.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <boost/version.hpp>
#include <cairo.h>
#include <readline/readline.h>
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <sleef.h>

#include "platform/platform.h"

extern "C" {
char* openblas_get_config(void);
void ilaver_(int* major, int* minor, int* patch);
}

#ifndef ZELTA_BUILD_TYPE
#define ZELTA_BUILD_TYPE "unknown"
#endif

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

// Libraries a front end registered on top of the core's own.
Rows extra;

std::string compiler() {
#if defined(__clang__)
  return "clang " __clang_version__;
#elif defined(__GNUC__)
  return "GNU C++ " __VERSION__;
#else
  return "unknown";
#endif
}

// The build type, with the checking instruments it was built with.
std::string buildtype() {
  std::string t = ZELTA_BUILD_TYPE;
#if defined(__SANITIZE_ADDRESS__)
  t += " with AddressSanitizer";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  t += " with AddressSanitizer";
#endif
#endif
  return t;
}

// __DATE__ ("Dec  6 2026") and __TIME__ as "6 Dec 2026 20:15:01".
std::string builddate() {
  const char* d = __DATE__;
  std::string day(d + 4, 2), mon(d, 3), year(d + 7, 4);
  if (day[0] == ' ') day.erase(0, 1);
  return day + " " + mon + " " + year + " " + __TIME__;
}

// "0.3.21" from "OpenBLAS 0.3.21 DYNAMIC_ARCH NO_AFFINITY Haswell MAX_THREADS=64".
std::string openblas() {
  const char* c = openblas_get_config();
  if (!c) return "unknown";
  std::string s = c;
  size_t a = s.find(' ');
  if (a == std::string::npos) return s;
  size_t b = s.find(' ', a + 1);
  return s.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
}

std::string lapack() {
  int ma = 0, mi = 0, pa = 0;
  ilaver_(&ma, &mi, &pa);
  return std::to_string(ma) + "." + std::to_string(mi) + "." + std::to_string(pa);
}

std::string pcre2() {
  char buf[64] = {0};
  if (pcre2_config(PCRE2_CONFIG_VERSION, buf) < 0) return "unknown";
  std::string s = buf;
  size_t sp = s.find(' ');
  return sp == std::string::npos ? s : s.substr(0, sp);  // drop the release date
}

std::string boost() {
  return std::to_string(BOOST_VERSION / 100000) + "." + std::to_string(BOOST_VERSION / 100 % 1000) + "." +
         std::to_string(BOOST_VERSION % 100);
}

std::string sleef() {
  return std::to_string(SLEEF_VERSION_MAJOR) + "." + std::to_string(SLEEF_VERSION_MINOR) + "." +
         std::to_string(SLEEF_VERSION_PATCHLEVEL);
}

std::string libstdcxx() {
#if defined(_GLIBCXX_RELEASE)
  return "GNU libstdc++ " + std::to_string(_GLIBCXX_RELEASE) + " (" + std::to_string(__GLIBCXX__) + ")";
#elif defined(_LIBCPP_VERSION)
  return "LLVM libc++ " + std::to_string(_LIBCPP_VERSION);
#else
  return "unknown";
#endif
}

}  // namespace

Rows plat_buildinfo() {
  return {{"compiler", compiler()}, {"build type", buildtype()}, {"build date", builddate()}};
}

Rows plat_libraries() {
  Rows r = {{"OpenBLAS", openblas()},
            {"LAPACK(E)", lapack()},
            {"SLEEF", sleef()},
            {"cairo", cairo_version_string()},
            {"PCRE2", pcre2()},
            {"readline", rl_library_version ? rl_library_version : "unknown"},
            {"Boost", boost()},
            {"C++ library", libstdcxx()},
            {"C library", std::string("glibc ") + gnu_get_libc_version()}};
  r.insert(r.end(), extra.begin(), extra.end());
  return r;
}

void plat_addlibrary(const std::string& name, const std::string& version) {
  for (auto& row : extra)
    if (row.first == name) {
      row.second = version;
      return;
    }
  extra.emplace_back(name, version);
}
