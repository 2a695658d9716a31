// Reading .dta files of releases 102 to 108 and 110 to 113: the header, the
// descriptors, variable labels and expansion fields (`dta_open`), records a
// block at a time (`dta_readrecs`) and the value-label section. Every size
// taken from the file is checked against the bytes the file really holds
// before anything is allocated from it.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "data/store.h"
#include "files/byteorder.h"
#include "files/dta.h"
#include "files/files.h"
#include "output/errors.h"

namespace {

// ORDER: releases ascending.
const DtaRelease releases[] = {
    // rel  hdr nm fmt vlab dlbl exp vl  letters legacy dbl333
    {102, 40, 9, 7, 32, 32, 0, 0, true, true, true},
    {103, 42, 9, 7, 32, 32, 0, 0, true, true, true},
    {104, 42, 9, 7, 32, 32, 0, 0, true, true, true},
    {105, 60, 9, 12, 32, 32, 2, 0, true, true, true},
    {106, 60, 9, 12, 32, 32, 2, 1, true, true, true},
    {107, 109, 9, 12, 81, 81, 2, 1, true, true, true},
    {108, 109, 9, 12, 81, 81, 2, 1, true, true, false},
    {110, 109, 33, 12, 81, 81, 4, 2, true, true, false},
    {111, 109, 33, 12, 81, 81, 4, 2, false, true, false},
    {112, 109, 33, 12, 81, 81, 4, 2, true, false, false},
    {113, 109, 33, 12, 81, 81, 4, 2, false, false, false},
};

constexpr size_t PIECE = 16384;  // bytes per read call

// Reads up to n bytes in pieces; the count read, or -1 on a read error.
long rawread(int fd, unsigned char* dst, size_t n) {
  size_t done = 0;
  while (done < n) {
    size_t want = std::min(PIECE, n - done);
    ssize_t k = ::read(fd, dst + done, want);
    if (k < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (k == 0) break;
    done += static_cast<size_t>(k);
  }
  return static_cast<long>(done);
}

// Reads exactly n bytes; 0, or 692 (printed) when the file ends early.
int readall(DtaIn& f, unsigned char* dst, size_t n) {
  long k = rawread(f.fd, dst, n);
  if (k != static_cast<long>(n)) return fierr(RC_READ, f.fn.c_str());
  return 0;
}

// The store type of a file type code, or 0 when the code is not valid.
int typeof_code(const DtaRelease& r, int c) {
  int t = 0;
  if (r.letters) {
    switch (c) {
      case 'b': t = ST_BYTE; break;
      case 'i': t = ST_INT; break;
      case 'l': t = ST_LONG; break;
      case 'f': t = ST_FLOAT; break;
      case 'd': t = ST_DOUBLE; break;
      default: t = c >= 128 ? c - 127 : 0; break;
    }
  } else {
    t = (c >= ST_BYTE || (c >= 1 && c <= 244)) ? c : 0;
  }
  if (t > 244 && r.legacy) t = dta_legacy(t);
  return t;
}

// A name as Zelta makes them: a letter or "_", then letters, digits, "_".
bool plainname(const std::string& s) {
  if (s.empty() || s.size() > 32) return false;
  if (!std::isalpha(static_cast<unsigned char>(s[0])) && s[0] != '_') return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

// Gives old names that Zelta cannot use (periods and other characters) new
// unique names: each bad character becomes "_", and a clash gets a number.
void fixnames(DtaIn& f) {
  std::vector<std::string> names;
  for (const DtaVar& v : f.vars) names.push_back(v.name);
  for (size_t i = 0; i < f.vars.size(); ++i) {
    std::string& n = f.vars[i].name;
    if (plainname(n) || n == "(e)") continue;
    std::string base;
    for (char c : n) base += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
    if (base.empty() || std::isdigit(static_cast<unsigned char>(base[0]))) base = "_" + base;
    if (base.size() > 32) base.resize(32);
    std::string cand = base;
    for (int k = 1; std::count(names.begin(), names.end(), cand) > 0; ++k) {
      std::string suf = std::to_string(k);
      cand = base.substr(0, std::min(base.size(), 32 - suf.size())) + suf;
    }
    if (f.oldnames.empty()) f.oldnames = names;
    names[i] = cand;
    n = cand;
    f.renamed = true;
  }
}

int corrupt(DtaIn& f) { return fierr(RC_CORRUPT, f.fn.c_str()); }

// header -> release byteorder filetype ... nvar nobs datalbl [stamp]
int readheader(DtaIn& f) {
  unsigned char h[109] = {0};
  long k = rawread(f.fd, h, 1);
  if (k != 1) return fierr(RC_FILEFORMAT, f.fn.c_str());
  f.rel = dta_release(h[0]);
  if (!f.rel) {
    unsigned char tag[15];
    if (h[0] >= 114 && rawread(f.fd, tag, 15) == 15 && !std::memcmp(tag, "Zelta .dta file", 15))
      return fierrnewer(f.fn.c_str());
    return fierr(RC_FILEFORMAT, f.fn.c_str());
  }
  const DtaRelease& r = *f.rel;
  if (rawread(f.fd, h + 1, static_cast<size_t>(r.hdrlen - 1)) != r.hdrlen - 1)
    return fierr(RC_FILEFORMAT, f.fn.c_str());
  if (r.release == 102) {
    f.hilo = false;
    ByteReader b(h + 2, 6, false);
    if (b.u2() != 1) return fierr(RC_XPFORMAT, f.fn.c_str());
    f.nvar = b.u2();
    f.nobs = b.u2();
    f.datalbl = ByteReader(h + 8, 32, false).text(32);
  } else {
    if (h[1] != BO_HILO && h[1] != BO_LOHI) return fierr(RC_FILEFORMAT, f.fn.c_str());
    f.hilo = h[1] == BO_HILO;
    if (h[2] != 1) return fierr(RC_XPFORMAT, f.fn.c_str());
    ByteReader b(h + 4, static_cast<size_t>(r.hdrlen - 4), f.hilo);
    f.nvar = b.u2();
    f.nobs = b.u4();
    f.datalbl = b.text(static_cast<size_t>(r.datalblw));
    if (r.hdrlen > 42) f.stamp = b.text(18);
  }
  f.swap = (f.hilo ? BO_HILO : BO_LOHI) != bo_native();
  if (f.nobs < 0 || f.nobs > 2147483647L) return corrupt(f);
  return 0;
}

// descriptors -> typlist varlist srtlist fmtlist lbllist varlabels
int readdescriptors(DtaIn& f) {
  const DtaRelease& r = *f.rel;
  const size_t nv = static_cast<size_t>(f.nvar);
  const size_t need = nv * (1 + 2 * static_cast<size_t>(r.namew) + static_cast<size_t>(r.fmtw) +
                            static_cast<size_t>(r.varlabw)) + (nv + 1) * 2;
  if (f.filesize && need > f.filesize) return fierr(RC_READ, f.fn.c_str());
  std::vector<unsigned char> d(need);
  if (int rc = readall(f, d.data(), need)) return rc;
  ByteReader b(d.data(), d.size(), f.hilo);
  f.vars.assign(nv, DtaVar{});
  long off = 0;
  for (DtaVar& v : f.vars) {
    v.type = typeof_code(r, b.u1());
    if (!v.type) return corrupt(f);
    v.width = dta_width(v.type);
    v.off = off;
    off += v.width;
  }
  f.lrecl = off;
  for (DtaVar& v : f.vars) v.name = b.text(static_cast<size_t>(r.namew));
  std::vector<char> seen(nv + 1, 0);
  bool ended = false;
  for (size_t i = 0; i <= nv; ++i) {
    int s = b.u2();
    if (ended) continue;
    if (s == 0 || s > f.nvar || seen[static_cast<size_t>(s)]) {
      ended = true;  // a bad entry ends the list as the 0 would
      continue;
    }
    seen[static_cast<size_t>(s)] = 1;
    f.srt.push_back(s);
  }
  for (DtaVar& v : f.vars) {
    v.fmt = b.text(static_cast<size_t>(r.fmtw));
    v.fmt.resize(std::min<size_t>(v.fmt.size(), 11));
  }
  for (DtaVar& v : f.vars) v.lblname = b.text(static_cast<size_t>(r.namew));
  for (DtaVar& v : f.vars) {
    v.varlab = b.text(static_cast<size_t>(r.varlabw));
    if (v.varlab.size() > 80) v.varlab.resize(80);
  }
  if (b.fail) return fierr(RC_READ, f.fn.c_str());
  if (r.release <= 106) fixnames(f);
  for (size_t i = 0; i < nv; ++i) {
    const DtaVar& v = f.vars[i];
    if (!plainname(v.name) && v.name != "(e)") return corrupt(f);
    if (!v.lblname.empty() && !plainname(v.lblname)) return corrupt(f);
    for (size_t j = 0; j < i; ++j)
      if (f.vars[j].name == v.name) return corrupt(f);
  }
  return 0;
}

// expansion -> { type len contents } 0 0
int readexpansion(DtaIn& f) {
  const DtaRelease& r = *f.rel;
  if (!r.explen) return 0;
  const size_t cn = r.explen == 4 ? 33 : 9;  // owner and characteristic name fields
  std::vector<unsigned char> body;
  while (true) {
    unsigned char h[5];
    if (int rc = readall(f, h, static_cast<size_t>(1 + r.explen))) return rc;
    int type = h[0];
    uint64_t len = r.explen == 4 ? bo_get4(h + 1, f.hilo) : bo_get2(h + 1, f.hilo);
    if (type == 0 && len == 0) break;
    off_t here = ::lseek(f.fd, 0, SEEK_CUR);
    if (here < 0 || (f.filesize && len > f.filesize - static_cast<uint64_t>(here)))
      return fierr(RC_READ, f.fn.c_str());
    if (type != 1) {
      if (::lseek(f.fd, static_cast<off_t>(len), SEEK_CUR) < 0) return fierr(RC_READ, f.fn.c_str());
      continue;
    }
    if (len < 2 * cn) return corrupt(f);
    body.resize(len);
    if (int rc = readall(f, body.data(), len)) return rc;
    ByteReader b(body.data(), body.size(), f.hilo);
    DtaChar c;
    c.owner = b.text(cn);
    c.name = b.text(cn);
    c.text = b.text(len - 2 * cn);
    if (c.text.size() > 67783) c.text.resize(67783);
    if (c.owner.empty() || c.name.empty() || c.text.empty()) continue;
    f.chars.push_back(std::move(c));
  }
  return 0;
}

}  // namespace

const DtaRelease* dta_release(int release) {
  for (const DtaRelease& r : releases)
    if (r.release == release) return &r;
  return nullptr;
}

int dta_width(int type) {
  if (isstrtype(type)) return type;
  switch (type) {
    case ST_BYTE: case ST_LBYTE: return 1;
    case ST_INT: case ST_LINT: return 2;
    case ST_LONG: case ST_LLONG: case ST_FLOAT: case ST_LFLOAT: return 4;
    default: return 8;
  }
}

std::string dta_fname(const std::string& fn) {
  size_t slash = fn.rfind('/');
  size_t dot = fn.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return fn + ".dta";
  return fn;
}

int dta_open(DtaIn& f, const std::string& fn) {
  f = DtaIn{};
  f.fn = fn;
  if (int rc = files_failpoint()) return fierr(rc, fn.c_str());
  f.fd = ::open(fn.c_str(), O_RDONLY);
  if (f.fd < 0) return fierr(errno == ENOENT || errno == ENOTDIR ? 601 : 603, fn.c_str());
  struct stat st;
  if (::fstat(f.fd, &st) == 0 && S_ISREG(st.st_mode)) f.filesize = static_cast<uint64_t>(st.st_size);
  if (::fstat(f.fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    dta_close(f);
    return fierr(RC_FILEOPEN, fn.c_str());
  }
  int rc = readheader(f);
  if (!rc && f.nvar > ds.maxmaxvar) rc = error(RC_NOROOMVARS);
  if (!rc) rc = readdescriptors(f);
  if (!rc && f.lrecl > ds.maxlrecl) rc = error(RC_LIMIT);
  if (!rc) rc = readexpansion(f);
  if (!rc) {
    off_t here = ::lseek(f.fd, 0, SEEK_CUR);
    f.datastart = here < 0 ? 0 : static_cast<long>(here);
    uint64_t databytes = static_cast<uint64_t>(f.nobs) * static_cast<uint64_t>(f.lrecl);
    if (f.filesize && databytes > f.filesize - static_cast<uint64_t>(f.datastart))
      rc = fierr(RC_READ, fn.c_str());
  }
  if (rc) dta_close(f);
  return rc;
}

int dta_readrecs(DtaIn& f, unsigned char* dst, long n, long* got) {
  *got = 0;
  n = std::min(n, f.nobs - f.nread);
  if (n <= 0) return 0;
  size_t bytes = static_cast<size_t>(n) * static_cast<size_t>(f.lrecl);
  if (int rc = files_failpoint()) return fierr(rc, f.fn.c_str());
  if (int rc = readall(f, dst, bytes)) return rc;
  if (f.swap && !f.keeporder) {
    for (long i = 0; i < n; ++i) {
      unsigned char* rec = dst + static_cast<size_t>(i) * static_cast<size_t>(f.lrecl);
      for (const DtaVar& v : f.vars)
        if (!isstrtype(v.type) && v.width > 1) bo_swap(rec + v.off, v.width);
    }
  }
  f.nread += n;
  *got = n;
  return 0;
}

namespace {

// The old form: count, 10-byte name, count 2-byte values, count 8-byte texts.
int readoldlabels(DtaIn& f, std::vector<DtaLabel>& out) {
  while (true) {
    unsigned char h[12];
    if (rawread(f.fd, h, 12) != 12) return 0;
    size_t n = bo_get2(h, f.hilo);
    std::vector<unsigned char> body(n * 10);
    if (rawread(f.fd, body.data(), body.size()) != static_cast<long>(body.size())) return 0;
    DtaLabel l;
    l.name = ByteReader(h + 2, 10, f.hilo).text(10);
    if (l.name.size() > 8 || !plainname(l.name)) return corrupt(f);
    std::vector<std::pair<int32_t, std::string>> m;
    for (size_t i = 0; i < n; ++i)
      m.emplace_back(bo_gets2(body.data() + 2 * i, f.hilo),
                     ByteReader(body.data() + 2 * n + 8 * i, 8, f.hilo).text(8));
    std::sort(m.begin(), m.end());
    bool dup = false;
    for (size_t i = 1; i < m.size(); ++i) dup = dup || m[i].first == m[i - 1].first;
    if (dup) continue;  // a label that does not fit the table form is left out
    for (auto& [v, t] : m) {
      l.vals.push_back(v);
      l.txts.push_back(t);
    }
    out.push_back(std::move(l));
  }
}

}  // namespace

bool dtalbl_parse(const unsigned char* p, size_t len, bool hilo, DtaLabel& l) {
  if (len < 8) return false;
  uint64_t n = bo_get4(p, hilo), txtlen = bo_get4(p + 4, hilo);
  if (n > 65536 || 8 + 8 * n + txtlen > len) return false;
  const unsigned char* txt = p + 8 + 8 * n;
  l.vals.clear();
  l.txts.clear();
  for (uint64_t i = 0; i < n; ++i) {
    uint64_t off = bo_get4(p + 8 + 4 * i, hilo);
    int32_t val = bo_gets4(p + 8 + 4 * n + 4 * i, hilo);
    if (off >= txtlen && !(off == 0 && txtlen == 0)) return false;
    if (i > 0 && val <= l.vals.back()) return false;
    const char* s = reinterpret_cast<const char*>(txt + off);
    size_t k = txtlen ? strnlen(s, static_cast<size_t>(txtlen - off)) : 0;
    l.vals.push_back(val);
    l.txts.emplace_back(s, std::min<size_t>(k, 32000));
  }
  return true;
}

int dta_readlabels(DtaIn& f, std::vector<DtaLabel>& out) {
  const DtaRelease& r = *f.rel;
  off_t end = static_cast<off_t>(f.datastart) + static_cast<off_t>(f.nobs) * f.lrecl;
  if (::lseek(f.fd, end, SEEK_SET) < 0) return 0;
  if (r.vlform == 0) return readoldlabels(f, out);
  const size_t namefield = r.vlform == 2 ? 36 : 12, namew = r.vlform == 2 ? 33 : 9;
  std::vector<unsigned char> body;
  while (true) {
    unsigned char h[40];
    if (rawread(f.fd, h, 4 + namefield) != static_cast<long>(4 + namefield)) return 0;
    int32_t len = bo_gets4(h, f.hilo);
    if (len < 1) return 0;
    off_t here = ::lseek(f.fd, 0, SEEK_CUR);
    if (here < 0 || (f.filesize && static_cast<uint64_t>(len) > f.filesize - static_cast<uint64_t>(here)))
      return 0;  // a table cut short: the section ends there
    body.resize(static_cast<size_t>(len));
    if (rawread(f.fd, body.data(), body.size()) != len) return 0;
    DtaLabel l;
    l.name = ByteReader(h + 4, namew, f.hilo).text(namew);
    if (!plainname(l.name) || !dtalbl_parse(body.data(), body.size(), f.hilo, l)) return corrupt(f);
    out.push_back(std::move(l));
  }
}

void dta_close(DtaIn& f) {
  if (f.fd >= 0) ::close(f.fd);
  f.fd = -1;
}
