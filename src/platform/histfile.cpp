// The console history kept across sessions: one typed line per line of a
// file in the user's home folder. Lines are appended as they are typed (a
// crash loses nothing, two sessions interleave their lines), and at exit the
// file is cut to its last lines through a temporary copy, so a failure never
// leaves a half-written history.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>

#include <readline/history.h>

#include "output/rc.h"
#include "platform/platform.h"

namespace {

// The last `keep` non-empty lines of the file.
std::deque<std::string> lastlines(const std::string& path, int keep) {
  std::deque<std::string> lines;
  std::ifstream in(path);
  std::string s;
  while (std::getline(in, s)) {
    if (s.empty()) continue;
    lines.push_back(s);
    if (static_cast<int>(lines.size()) > keep) lines.pop_front();
  }
  return lines;
}

// Number of lines in the file (0 when it cannot be read).
long countlines(const std::string& path) {
  std::ifstream in(path);
  std::string s;
  long n = 0;
  while (std::getline(in, s)) ++n;
  return n;
}

bool writeall(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t w = write(fd, text.data() + done, text.size() - done);
    if (w < 0) return false;
    done += static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

std::string plat_histpath() {
  if (plat_histsize() <= 0) return "";
  if (const char* p = std::getenv("ZELTA_HISTORY")) return p;
  const char* home = std::getenv("HOME");
  if (!home || !*home) return "";
  return std::string(home) + "/.zelta_history";
}

int plat_histsize() {
  const char* s = std::getenv("ZELTA_HISTSIZE");
  if (!s || !*s) return RC_LIMIT;
  char* end = nullptr;
  long n = std::strtol(s, &end, 10);
  if (*end || n < 0) return RC_LIMIT;
  return n > 1000000 ? 1000000 : static_cast<int>(n);
}

void plat_histload() {
  const std::string path = plat_histpath();
  if (path.empty()) return;
  for (const std::string& s : lastlines(path, plat_histsize())) add_history(s.c_str());
  static bool registered = false;
  if (!registered) {
    registered = true;
    std::atexit(plat_histtrim);
  }
}

void plat_histappend(const char* line) {
  const std::string path = plat_histpath();
  if (path.empty()) return;
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;  // the history is a convenience: a read-only home folder is no error
  // One write per line, so lines of sessions running at once never mix.
  (void)writeall(fd, std::string(line) + "\n");
  close(fd);
}

void plat_histtrim() {
  const std::string path = plat_histpath();
  if (path.empty()) return;
  const int keep = plat_histsize();
  if (countlines(path) <= keep) return;
  std::string text;
  for (const std::string& s : lastlines(path, keep)) text += s + "\n";
  std::string tmp = path + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return;
  bool ok = writeall(fd, text) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) unlink(tmp.c_str());
}
