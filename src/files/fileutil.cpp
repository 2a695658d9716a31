// Byte-level file utilities: checksum (a CRC-32 and the length of a file),
// filefilter (replaces one byte sequence by another while copying a file) and
// hexdump (shows a file's bytes, or summarises its line ends and character
// kinds). All read the file in blocks, so a file of any size is handled in
// little memory; whatever they write goes through AtomicFile.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "files/atomicfile.h"
#include "files/files.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/results.h"
#include "output/rc.h"

namespace {

constexpr size_t BLOCK = size_t{1} << 20;

// The file names before the comma (exactly `want` of them) and the options
// after it, read into the shared parser. 0 or a printed code.
int fu_args(ParseResult& pr, std::vector<std::string>& names, size_t want, bool* hasopts) {
  std::string before, after;
  fa_splitcomma(peektok_chr(), before, after, hasopts);
  names.clear();
  settok(before.c_str());
  while (*peektok_chr()) {
    std::string fn;
    if (gettokfn(fn)) break;
    if (names.size() == want) return errmsgf(RC_SYNTAX, "invalid '%s'\n", fn.c_str());
    names.push_back(fn);
  }
  if (names.size() < want) return required(names.empty() ? "filename" : "destination filename");
  if (*hasopts) return fa_readopts(pr, after);
  return 0;
}

// Opens an existing regular file for reading. 0 or a printed code.
int fu_open(const std::string& fn, int* fd, struct stat* st) {
  if (::stat(fn.c_str(), st) != 0) return fierr(RC_FILENOTFOUND, fn.c_str());
  if (S_ISDIR(st->st_mode)) return errmsgf(RC_FILEOPEN, "%s is a folder\n", fn.c_str());
  *fd = ::open(fn.c_str(), O_RDONLY);
  if (*fd < 0) return fierr(RC_FILEOPEN, fn.c_str());
  return 0;
}

// Reads up to n bytes; -1 on a read error.
ssize_t fu_read(int fd, unsigned char* buf, size_t n) {
  while (true) {
    ssize_t k = ::read(fd, buf, n);
    if (k < 0 && errno == EINTR) continue;
    return k;
  }
}

// Writes text to target through AtomicFile. 0 or a printed code.
int fu_writeall(const std::string& target, const std::string& text) {
  AtomicFile f;
  if (int rc = af_open(f, target)) return fierr(rc, target.c_str());
  if (af_write(f, text.data(), text.size())) {
    af_abort(f);
    return fierr(RC_WRITE, target.c_str());
  }
  if (af_commit(f)) return fierr(RC_WRITE, target.c_str());
  return 0;
}

// checksum filename [, save replace]: r(checksum) is the CRC-32 of the
// file's bytes, r(filelen) its length; save writes both to filename.sum.
int cmd_checksum(int) {
  ParseResult pr;
  std::vector<std::string> names;
  bool hasopts = false;
  if (int rc = fu_args(pr, names, 1, &hasopts)) return rc;
  const bool save = hasopts && findopt(pr, "save", 4, 0) == 1;
  const bool replace = hasopts && findopt(pr, "replace", 7, 0) == 1;
  if (hasopts)
    if (int rc = chkopt(pr)) return rc;
  const std::string& fn = names[0];
  const std::string sumfn = fn + ".sum";
  struct stat st;
  if (save && !replace && ::stat(sumfn.c_str(), &st) == 0) return fierr(RC_FILEEXISTS, sumfn.c_str());
  int fd = -1;
  if (int rc = fu_open(fn, &fd, &st)) return rc;
  std::vector<unsigned char> buf(BLOCK);
  uLong crc = crc32(0L, Z_NULL, 0);
  double len = 0;
  while (true) {
    ssize_t k = fu_read(fd, buf.data(), buf.size());
    if (k < 0) {
      ::close(fd);
      return fierr(RC_READ, fn.c_str());
    }
    if (k == 0) break;
    crc = crc32(crc, buf.data(), static_cast<uInt>(k));
    len += static_cast<double>(k);
    if (stopflag) {
      ::close(fd);
      return RC_BREAK;
    }
  }
  ::close(fd);
  retval_clear();
  if (retval_set_scalar("version", 1) || retval_set_scalar("filelen", len) ||
      retval_set_scalar("checksum", static_cast<double>(crc)))
    return RC_INSUFMEM;
  spout21f("Checksum for %s = %lu, size = %.0f\n", fn.c_str(), static_cast<unsigned long>(crc), len);
  if (!save) return 0;
  char line[96];
  std::snprintf(line, sizeof line, "1 %lu %.0f\n", static_cast<unsigned long>(crc), len);
  return fu_writeall(sumfn, line);
}

// The bytes a filefilter pattern stands for: \n, \r, \t, \Q (a double
// quote), \BS (a backslash) and \###d (the byte numbered ### in decimal); any
// other character stands for itself. 0 or a printed code.
int ff_decode(const char* opt, const std::string& text, std::string& out) {
  std::string s = text;
  while (!s.empty() && s.back() == ' ') s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    const std::string rest = s.substr(i + 1);
    if (rest.compare(0, 2, "BS") == 0) {
      out += '\\';
      i += 2;
    } else if (!rest.empty() && (rest[0] == 'n' || rest[0] == 'r' || rest[0] == 't' || rest[0] == 'Q')) {
      out += rest[0] == 'n' ? '\n' : rest[0] == 'r' ? '\r' : rest[0] == 't' ? '\t' : '"';
      i += 1;
    } else if (rest.size() >= 4 && std::isdigit(static_cast<unsigned char>(rest[0])) &&
               std::isdigit(static_cast<unsigned char>(rest[1])) &&
               std::isdigit(static_cast<unsigned char>(rest[2])) && rest[3] == 'd') {
      int v = std::atoi(rest.substr(0, 3).c_str());
      if (v > 255) return errmsgf(RC_SYNTAX, "%s(): byte \\%sd out of range (000-255)\n", opt, rest.substr(0, 3).c_str());
      out += static_cast<char>(v);
      i += 4;
    } else {
      return errmsgf(RC_SYNTAX, "%s(): invalid escape \\%s; use \\n, \\r, \\t, \\Q, \\BS or \\###d\n", opt,
                     rest.substr(0, 1).c_str());
    }
  }
  return 0;
}

// filefilter from to, from(pattern) to(pattern) [replace]: copies file from
// to file to with every occurrence of one byte sequence replaced by another.
// The file is read in blocks; the tail of each block that could start a
// match is carried into the next.
int cmd_filefilter(int) {
  ParseResult pr;
  std::vector<std::string> names;
  bool hasopts = false;
  if (int rc = fu_args(pr, names, 2, &hasopts)) return rc;
  std::string rawfrom, rawto, pat, rep;
  const bool hasfrom = hasopts && findargasis(pr, "from", 4, rawfrom, 4096);
  const bool hasto = hasopts && findargasis(pr, "to", 2, rawto, 4096);
  const bool replace = hasopts && findopt(pr, "replace", 7, 0) == 1;
  if (hasopts)
    if (int rc = chkopt(pr)) return rc;
  if (!hasfrom) return errmsgf(RC_SYNTAX, "option from() required\n");
  if (!hasto) return errmsgf(RC_SYNTAX, "option to() required\n");
  if (int rc = ff_decode("from", rawfrom, pat)) return rc;
  if (int rc = ff_decode("to", rawto, rep)) return rc;
  if (pat.empty()) return errmsgf(RC_SYNTAX, "from() may not be empty\n");
  const std::string &src = names[0], &dst = names[1];
  struct stat sst, dstst;
  int fd = -1;
  if (::stat(src.c_str(), &sst) != 0) return fierr(RC_FILENOTFOUND, src.c_str());
  if (::stat(dst.c_str(), &dstst) == 0) {
    if (sst.st_dev == dstst.st_dev && sst.st_ino == dstst.st_ino)
      return errmsgf(RC_SYNTAX, "%s and %s are the same file; the filtered copy needs a new name\n", src.c_str(),
                     dst.c_str());
    if (!replace) return fierr(RC_FILEEXISTS, dst.c_str());
  }
  if (int rc = fu_open(src, &fd, &sst)) return rc;
  AtomicFile f;
  if (int rc = af_open(f, dst)) {
    ::close(fd);
    return fierr(rc, dst.c_str());
  }
  std::vector<unsigned char> buf(BLOCK);
  std::string carry, outbuf;
  double nin = 0, nout = 0, hits = 0;
  int rc = 0;
  bool eof = false;
  while (!eof) {
    ssize_t k = fu_read(fd, buf.data(), buf.size());
    if (k < 0) {
      rc = fierr(RC_READ, src.c_str());
      break;
    }
    eof = k == 0;
    nin += static_cast<double>(k);
    carry.append(reinterpret_cast<const char*>(buf.data()), static_cast<size_t>(k));
    // Bytes before `safe` cannot begin a match that reaches into the next block.
    const size_t safe = eof ? carry.size() : (carry.size() >= pat.size() ? carry.size() - pat.size() + 1 : 0);
    outbuf.clear();
    size_t at = 0;
    while (true) {
      size_t hit = carry.find(pat, at);
      if (hit == std::string::npos || hit >= safe) break;
      outbuf.append(carry, at, hit - at);
      outbuf += rep;
      hits += 1;
      at = hit + pat.size();
    }
    const size_t keep = std::max(at, safe);
    outbuf.append(carry, at, keep - at);
    carry.erase(0, keep);
    nout += static_cast<double>(outbuf.size());
    if (!outbuf.empty() && af_write(f, outbuf.data(), outbuf.size())) {
      rc = fierr(RC_WRITE, dst.c_str());
      break;
    }
    if (stopflag) {
      rc = RC_BREAK;
      break;
    }
  }
  ::close(fd);
  if (rc) {
    af_abort(f);
    return rc;
  }
  if (af_commit(f)) return fierr(RC_WRITE, dst.c_str());
  retval_clear();
  if (retval_set_scalar("occurrences", hits) || retval_set_scalar("bytes_from", nin) ||
      retval_set_scalar("bytes_to", nout))
    return RC_INSUFMEM;
  spout21f("(%.0f occurrence%s replaced; %.0f bytes read, %.0f written)\n", hits, hits == 1 ? "" : "s", nin, nout);
  return 0;
}

// One line of a dump: offset (in hex), 16 bytes in hex (a gap after 8) and the bytes
// as characters, a dot for any that does not print.
void hd_line(double off, const unsigned char* p, size_t n) {
  char line[128];
  int w = std::snprintf(line, sizeof line, "%08llx  ", static_cast<unsigned long long>(off));
  for (size_t i = 0; i < 16; ++i) {
    if (i == 8) line[w++] = ' ';
    if (i < n)
      w += std::snprintf(line + w, sizeof line - w, "%02x ", p[i]);
    else
      w += std::snprintf(line + w, sizeof line - w, "   ");
  }
  line[w++] = ' ';
  line[w++] = '|';
  for (size_t i = 0; i < n; ++i) line[w++] = p[i] >= 32 && p[i] < 127 ? static_cast<char>(p[i]) : '.';
  line[w++] = '|';
  line[w++] = '\n';
  line[w] = 0;
  spout21(line);
}

// hexdump filename [, analyze from(#) length(#)]: shows length(#) bytes
// (default 1024) from offset from(#) (default 0); analyze instead counts the
// line ends and character kinds of the whole file and says whether it looks
// like text.
int cmd_hexdump(int) {
  ParseResult pr;
  std::vector<std::string> names;
  bool hasopts = false;
  if (int rc = fu_args(pr, names, 1, &hasopts)) return rc;
  const bool analyze = hasopts && findopt(pr, "analyze", 2, 0) == 1;
  const long from = hasopts ? findopta(pr, "from", 4, 0) : 0;
  const long length = hasopts ? findopta(pr, "length", 3, 1024) : 1024;
  if (hasopts)
    if (int rc = chkopt(pr)) return rc;
  if (from < 0) return errmsgf(RC_SYNTAX, "from() must be 0 or more\n");
  if (length < 1) return errmsgf(RC_SYNTAX, "length() must be 1 or more\n");
  const std::string& fn = names[0];
  struct stat st;
  int fd = -1;
  if (int rc = fu_open(fn, &fd, &st)) return rc;
  std::vector<unsigned char> buf(BLOCK);
  int rc = 0;
  if (!analyze) {
    if (from > 0 && ::lseek(fd, from, SEEK_SET) < 0) rc = fierr(RC_READ, fn.c_str());
    double off = static_cast<double>(from), left = static_cast<double>(length);
    std::vector<unsigned char> row;
    while (!rc && left > 0) {
      ssize_t k = fu_read(fd, buf.data(), static_cast<size_t>(std::min<double>(left, static_cast<double>(BLOCK))));
      if (k < 0) rc = fierr(RC_READ, fn.c_str());
      if (k <= 0) break;
      left -= static_cast<double>(k);
      for (ssize_t i = 0; i < k; ++i) {
        row.push_back(buf[i]);
        if (row.size() == 16) {
          hd_line(off, row.data(), 16);
          off += 16;
          row.clear();
        }
      }
      if (stopflag) rc = RC_BREAK;
    }
    if (!rc && !row.empty()) hd_line(off, row.data(), row.size());
    ::close(fd);
    if (rc) return rc;
    const double total = static_cast<double>(st.st_size);
    const double shownto = off + static_cast<double>(row.size());
    if (shownto < total) spout21f("(%.0f more bytes; from() and length() show others)\n", total - shownto);
    retval_clear();
    return retval_set_scalar("filelen", total) ? 950 : 0;
  }
  // Counts over the whole file; a CR at the end of one block pairs with an
  // LF at the start of the next.
  double len = 0, lf = 0, crlf = 0, cr = 0, ctrl = 0, nul = 0, high = 0, tabs = 0;
  bool pendcr = false;
  while (true) {
    ssize_t k = fu_read(fd, buf.data(), buf.size());
    if (k < 0) rc = fierr(RC_READ, fn.c_str());
    if (k <= 0) break;
    len += static_cast<double>(k);
    for (ssize_t i = 0; i < k; ++i) {
      const unsigned char c = buf[i];
      if (pendcr) {
        pendcr = false;
        if (c == '\n') {
          crlf += 1;
          continue;
        }
        cr += 1;
      }
      if (c == '\r')
        pendcr = true;
      else if (c == '\n')
        lf += 1;
      else if (c == '\t')
        tabs += 1;
      else if (c == 0)
        nul += 1;
      else if (c < 32 || c == 127)
        ctrl += 1;
      else if (c >= 128)
        high += 1;
    }
    if (stopflag) {
      rc = RC_BREAK;
      break;
    }
  }
  ::close(fd);
  if (rc) return rc;
  if (pendcr) cr += 1;
  const bool istext = nul == 0 && ctrl == 0;
  const char* ends = lf + crlf + cr == 0 ? "none"
                     : (lf > 0) + (crlf > 0) + (cr > 0) > 1 ? "mixed"
                     : lf > 0                              ? "LF"
                     : crlf > 0                            ? "CRLF"
                                                           : "CR";
  spout21f("  File %s\n", fn.c_str());
  spout21f("  %-36s %14.0f\n", "bytes", len);
  spout21f("  %-36s %14.0f\n", "line ends LF (\\n)", lf);
  spout21f("  %-36s %14.0f\n", "line ends CR LF (\\r\\n)", crlf);
  spout21f("  %-36s %14.0f\n", "line ends CR (\\r)", cr);
  spout21f("  %-36s %14.0f\n", "tabs", tabs);
  spout21f("  %-36s %14.0f\n", "NUL bytes", nul);
  spout21f("  %-36s %14.0f\n", "other control characters", ctrl);
  spout21f("  %-36s %14.0f\n", "bytes above 127", high);
  spout21f("  Line ends: %s; the file %s like text\n", ends, istext ? "looks" : "does not look");
  retval_clear();
  if (retval_set_scalar("filelen", len) || retval_set_scalar("lf", lf) || retval_set_scalar("crlf", crlf) ||
      retval_set_scalar("cr", cr) || retval_set_scalar("tab", tabs) || retval_set_scalar("nul", nul) ||
      retval_set_scalar("ctrl", ctrl) || retval_set_scalar("highbit", high) ||
      retval_set_scalar("istext", istext ? 1 : 0) || retval_set_local("lineends", ends))
    return RC_INSUFMEM;
  return 0;
}

}  // namespace

void files_bindutilcmds() {
  cmdbind("checksum", cmd_checksum);
  cmdbind("filefilter", cmd_filefilter);
  cmdbind("hexdump", cmd_hexdump);
}
