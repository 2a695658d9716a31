// Windowed reading of text files for the text readers (see textsrc.h). The
// window is the file's size up to 4 MB and grows only when a single request
// needs more than it holds, so a file of any size is read in one pass with
// bounded memory.
#include "files/textsrc.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "output/errors.h"

namespace {

constexpr size_t WINDOW = size_t{4} << 20;  // bytes read per refill of a large file
constexpr size_t MINWINDOW = 4096;          // the smallest window

}  // namespace

int ts_open(TextSrc& s, const std::string& fn) {
  s = TextSrc{};
  s.fn = fn;
  s.fd = ::open(fn.c_str(), O_RDONLY);
  if (s.fd < 0) return fierr(errno == ENOENT || errno == ENOTDIR ? 601 : 603, fn.c_str());
  struct stat st;
  size_t size = ::fstat(s.fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
  s.buf.resize(std::clamp(size + 1, MINWINDOW, WINDOW));  // a small file is read whole
  return 0;
}

void ts_openmem(TextSrc& s, std::string text) {
  s = TextSrc{};
  s.buf.assign(text.begin(), text.end());
  s.len = s.buf.size();
  s.eof = true;
}

void ts_close(TextSrc& s) {
  if (s.fd >= 0) ::close(s.fd);
  s.fd = -1;
}

size_t ts_fill(TextSrc& s, size_t want) {
  while (s.len - s.pos < want && !s.eof) {
    if (s.pos) {  // move the unread tail to the front
      std::memmove(s.buf.data(), s.buf.data() + s.pos, s.len - s.pos);
      s.len -= s.pos;
      s.pos = 0;
    }
    if (s.len == s.buf.size() || s.buf.size() < want + 1) s.buf.resize(std::max(2 * s.buf.size(), want + 1));
    ssize_t k = ::read(s.fd, s.buf.data() + s.len, s.buf.size() - s.len);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0) s.err = errno;
    if (k <= 0) {
      s.eof = true;
      break;
    }
    s.len += static_cast<size_t>(k);
  }
  return s.len - s.pos;
}

int ts_getline(TextSrc& s, std::string& out) {
  size_t have = ts_fill(s, TS_MAXLINE + 2);
  if (!have) return -1;
  const char* p = s.buf.data() + s.pos;
  const char* nl = static_cast<const char*>(std::memchr(p, '\n', have));
  size_t n = nl ? static_cast<size_t>(nl - p) : have;
  size_t used = nl ? n + 1 : n;
  if (n && p[n - 1] == '\r') --n;
  if (n > TS_MAXLINE) return error(RC_RECTOOLONG);
  out.assign(p, n);
  s.pos += used;
  ++s.lineno;
  return 0;
}

int ts_getrecord(TextSrc& s, std::string& out, size_t n) {
  out.clear();
  while (out.size() < n) {
    if (!ts_fill(s, 1)) break;
    char c = s.buf[s.pos++];
    if (c != '\n' && c != '\r') out.push_back(c);
  }
  return out.empty() ? -1 : 0;
}

void ts_expandtabs(std::string& line) {
  if (line.find('\t') == std::string::npos) return;
  std::string r;
  r.reserve(line.size() + 16);
  for (char c : line) {
    if (c != '\t') {
      r.push_back(c);
      continue;
    }
    do r.push_back(' ');
    while (r.size() % 8);
  }
  line.swap(r);
}
