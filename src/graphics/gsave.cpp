// File helpers of the graphics commands (see gsave.h).
#include "graphics/gsave.h"

#include <sys/stat.h>

bool gr_fileexists(const std::string& fn) {
  struct stat st;
  return stat(fn.c_str(), &st) == 0;
}

std::string gr_addsuffix(const std::string& fn, const char* suffix) {
  size_t slash = fn.rfind('/');
  size_t dot = fn.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return fn;
  return fn + suffix;
}
