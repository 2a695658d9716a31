// Safe writing of graph files and exported pictures (see gsave.h).
#include "graphics/gsave.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int gsave_open(GSave& f, const std::string& target) {
  f.target = target;
  f.err = 0;
  size_t slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  if (slash == std::string::npos) dir = "./";
  std::string tmpl = dir + ".ztmpXXXXXX";
  std::string buf = tmpl;
  f.fd = mkstemp(buf.data());
  if (f.fd < 0) {
    f.err = errno;
    return 603;
  }
  f.tmpname = buf;
  return 0;
}

int gsave_write(GSave& f, const void* data, size_t n) {
  if (f.err || f.fd < 0) return 693;
  const char* p = static_cast<const char*>(data);
  while (n) {
    ssize_t k = ::write(f.fd, p, n);
    if (k < 0) {
      if (errno == EINTR) continue;
      f.err = errno;
      return 693;
    }
    p += k;
    n -= static_cast<size_t>(k);
  }
  return 0;
}

int gsave_commit(GSave& f) {
  if (f.err || f.fd < 0) {
    gsave_abort(f);
    return 693;
  }
  if (fsync(f.fd) || close(f.fd)) {
    f.err = errno;
    f.fd = -1;
    gsave_abort(f);
    return 693;
  }
  f.fd = -1;
  // mkstemp makes the file private; a picture is as readable as any new file.
  mode_t mask = umask(0);
  umask(mask);
  chmod(f.tmpname.c_str(), 0666 & ~mask);
  if (std::rename(f.tmpname.c_str(), f.target.c_str())) {
    f.err = errno;
    gsave_abort(f);
    return 693;
  }
  f.tmpname.clear();
  return 0;
}

void gsave_abort(GSave& f) {
  if (f.fd >= 0) close(f.fd);
  f.fd = -1;
  if (!f.tmpname.empty()) std::remove(f.tmpname.c_str());
  f.tmpname.clear();
}

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
