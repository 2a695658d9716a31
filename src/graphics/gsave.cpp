// File helpers of the graphics commands (see gsave.h): existence, default
// suffixes, and handing a written picture to the desktop's viewer.
#include "graphics/gsave.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "output/output.h"

extern char** environ;

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

namespace {

// True when an executable `prog` is on the PATH.
bool onpath(const char* prog) {
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "/usr/bin:/bin";
  size_t i = 0;
  while (i <= p.size()) {
    size_t j = p.find(':', i);
    if (j == std::string::npos) j = p.size();
    std::string d = p.substr(i, j - i);
    if (d.empty()) d.push_back('.');
    if (access((d + "/" + prog).c_str(), X_OK) == 0) return true;
    i = j + 1;
  }
  return false;
}

}  // namespace

int gr_view(const std::string& fn) {
  const bool session = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
  const char* why = !onpath("xdg-open") ? "xdg-open is not installed"
                    : !session          ? "there is no graphical session"
                                        : nullptr;
  int prev = setoutlev(OUT_NOTE);
  if (why) {
    spout21f("(no desktop viewer: %s; the picture is in %s)\n", why, fn.c_str());
    setoutlev(prev);
    return 0;
  }
  // through a shell that puts the viewer in the background and returns at
  // once: the viewer outlives the command and leaves no child behind
  const char* argv[] = {"/bin/sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 &", "sh", fn.c_str(), nullptr};
  pid_t pid;
  int rc = posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ);
  if (rc == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    spout21f("(opened %s in the desktop viewer)\n", fn.c_str());
  } else {
    spout21f("(the desktop viewer could not be started; the picture is in %s)\n", fn.c_str());
  }
  setoutlev(prev);
  return 0;
}
