// Do-file reading. Commands are assembled character by character so that
// comments, quotes and delimiters interact exactly as users expect: comment
// markers inside quotes are text, `//` needs a blank (or the start of the
// command) before it, and `///` continues a line only in `cr` mode.
#include "interp/dofile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "output/errors.h"
#include "output/output.h"

DoFile* dofopen(const char* name, int* rc) {
  int fd = ::open(name, O_RDONLY);
  if (fd < 0) {
    *rc = (errno == EACCES) ? 608 : 601;
    return nullptr;
  }
  auto* h = new (std::nothrow) DoFile;
  if (!h) {
    ::close(fd);
    *rc = 909;
    return nullptr;
  }
  h->fd = fd;
  *rc = 0;
  return h;
}

int getdofc(DoFile* h) {
  if (h->pushback) {
    int c = h->pushback;
    h->pushback = 0;
    return c;
  }
  if (h->pos >= h->n) {
    ssize_t k = ::read(h->fd, h->buf, sizeof h->buf);
    if (k <= 0) return -1;
    h->n = static_cast<int>(k);
    h->pos = 0;
    h->bytesread += k;
  }
  return static_cast<unsigned char>(h->buf[h->pos++]);
}

void ungetdofc(DoFile* h, int c) {
  if (c == '\n') --h->lines;
  h->pushback = c;
}

int getdofcm(DoFile* h) {
  int c = getdofc(h);
  if (c == '\r') {
    int d = getdofc(h);
    if (d != '\n' && d != -1) ungetdofc(h, d);
    c = '\n';
  }
  if (c == '\n') ++h->lines;
  return c;
}

void dofclos(DoFile* h) {
  if (!h) return;
  if (h->fd >= 0) ::close(h->fd);
  delete h;
}

namespace {

// Echoes the physical lines of one command as they are read: ". " before the
// first, "> " before each continuation line. A file that ends without a
// command leaves a bare ". ", which the caller's new line closes.
struct Echo {
  bool on = false;
  const char* prefix = interp.prompt;
  std::string line;
  void add(int c) {
    if (on) line.push_back(static_cast<char>(c));
  }
  // Ends a physical line; `more`: the command continues on the next one.
  // `skipblank`: a blank line before the command starts is not echoed.
  void endline(bool more, bool skipblank) {
    if (!on) return;
    if (skipblank && line.find_first_not_of(' ') == std::string::npos) {
      line.clear();
      return;
    }
    say((prefix + line + "\n").c_str());
    prefix = more ? "> " : interp.prompt;
    line.clear();
  }
  void flush() {
    if (!on) return;
    say((prefix + line).c_str());
    line.clear();
  }
  static void say(const char* s) {
    int prev = setoutlev(OUT_TEXT);
    spout21(s);
    setoutlev(prev);
  }
};

}  // namespace

int rddofile(std::string& buf, DoFile* h, size_t maxlen, int delim, bool echo) {
  buf.clear();
  Echo ec;
  ec.on = echo;
  int col = 0;            // column in the physical line, for tab expansion
  int comment = 0;        // depth of /* */ comments
  bool quoted = false;    // inside "..."
  int compound = 0;       // depth of `"..."'
  bool linecomment = false;  // inside // ... to end of physical line
  bool continuation = false; // a /// was seen on this physical line
  bool anything = false;     // something non-blank was read (for ; mode)
  bool hashline = false;     // physical line starts with # (in ; mode)
  bool atlinestart = true;
  std::string raw;           // raw text read (its first maxlen + 1 bytes), for "input too long"
  size_t physlen = 0;        // bytes of the physical line so far
  // Shows the input and "input too long"; the file is not read further.
  auto toolong = [&]() {
    int prev = setoutlev(OUT_TEXT);
    spout21(raw.c_str());
    spout21("\n");
    setoutlev(OUT_ERROR);
    spout21("input too long\n");
    setoutlev(prev);
    buf.clear();
    return 1;
  };

  while (true) {
    int c = getdofcm(h);
    if (c == -1) {
      ec.flush();
      buf.clear();
      return 1;
    }
    if (c != '\n') {
      if (raw.size() <= maxlen) raw.push_back(static_cast<char>(c));
      // A physical line is bounded as it is read, comments and control
      // characters included, so that a file that never ends a line (a
      // device, a damaged file) stops here rather than filling memory.
      if (++physlen > maxlen) return toolong();
    } else {
      physlen = 0;
    }
    if (c == '\t') {
      int nb = 8 - col % 8;
      for (int i = 0; i < nb; ++i) ec.add(' ');
      col += nb;
      if (!comment && !linecomment) buf.append(static_cast<size_t>(nb), ' ');
      goto check_len;
    }
    if (c != '\n' && (c < 32 || c == 255)) continue;
    if (c == '\n') {
      const bool ends = !comment && !continuation && (delim == 0 || hashline);
      ec.endline(!ends, delim == 1 && !anything);
      col = 0;
      bool wascont = continuation;
      linecomment = false;
      continuation = false;
      if (delim == 1 && hashline) {
        return 0;
      }
      atlinestart = true;
      hashline = false;
      if (comment) continue;
      if (wascont) continue;  // `///` joins the next physical line
      if (delim == 0) return 0;
      if (anything) buf.push_back(' ');
      continue;
    }
    ec.add(c);
    ++col;
    if (atlinestart && c != ' ' && delim == 1 && !comment) {
      atlinestart = false;
      if (c == '#' && !anything) hashline = true;
    } else if (c != ' ') {
      atlinestart = false;
    }
    if (linecomment) continue;
    if (comment) {
      if (c == '*') {
        int d = getdofcm(h);
        if (d == '/') {
          ec.add(d);
          ++col;
          --comment;
          continue;
        }
        if (d != -1) ungetdofc(h, d);
      } else if (c == '/') {
        int d = getdofcm(h);
        if (d == '*') {
          ec.add(d);
          ++col;
          ++comment;
          continue;
        }
        if (d != -1) ungetdofc(h, d);
      }
      continue;
    }
    if (!quoted && !compound) {
      if (c == '/') {
        int d = getdofcm(h);
        if (d == '*') {
          ec.add(d);
          ++col;
          ++comment;
          continue;
        }
        if (d == '/' && (buf.empty() || buf.back() == ' ')) {
          ec.add(d);
          ++col;
          int e = getdofcm(h);
          if (e == '/' && delim == 0) {
            ec.add(e);
            ++col;
            continuation = true;
          } else if (e != -1) {
            ungetdofc(h, e);
          }
          linecomment = true;
          continue;
        }
        if (d != -1) ungetdofc(h, d);
      } else if (c == ';' && delim == 1) {
        ec.endline(false, false);
        // the rest of the physical line is echoed with the next command
        return 0;
      } else if (c == '`') {
        int d = getdofcm(h);
        if (d == '"') {
          ++compound;
          buf.push_back('`');
          buf.push_back('"');
          ec.add(d);
          ++col;
          anything = true;
          goto check_len;
        }
        if (d != -1) ungetdofc(h, d);
      } else if (c == '"') {
        quoted = true;
        buf.push_back('"');
        anything = true;
        goto check_len;
      }
    } else if (compound) {
      if (c == '`') {
        int d = getdofcm(h);
        if (d == '"') {
          ++compound;
          buf.push_back('`');
          buf.push_back('"');
          ec.add(d);
          ++col;
          goto check_len;
        }
        if (d != -1) ungetdofc(h, d);
      } else if (c == '"') {
        int d = getdofcm(h);
        if (d == '\'') {
          --compound;
          buf.push_back('"');
          buf.push_back('\'');
          ec.add(d);
          ++col;
          goto check_len;
        }
        if (d != -1) ungetdofc(h, d);
      }
    } else if (quoted && c == '"') {
      quoted = false;
      buf.push_back('"');
      goto check_len;
    }
    buf.push_back(static_cast<char>(c));
    if (c != ' ') anything = true;
  check_len:
    if (buf.size() > maxlen) return toolong();
  }
}

DoFileSource::~DoFileSource() { dofclos(h); }

int DoFileSource::next(std::string& line) {
  if (ended || !h) return 1;
  startline = h->lines + 1;
  int r = rddofile(line, h, static_cast<size_t>(interp.conslen - 1), interp.delimit, true);
  if (r) ended = true;
  return r;
}
