// The version 5 transport format: IBM hexadecimal floating point to and from
// doubles, and the file's layout (see xport.h). Every binary field goes
// through the byte-order helpers; the reader checks each header and size
// before it allocates or loops, so a corrupt or truncated file is a code.
#include "files/xport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "data/value.h"
#include "files/byteorder.h"
#include "output/rc.h"

namespace {

constexpr size_t REC = 80;  // bytes of a record
constexpr uint64_t FRAC56 = (1ULL << 56) - 1;

// The five fixed header records differ only in the word at bytes 20..27.
std::string header(const char* word, const char* digits) {
  char buf[REC + 1];
  std::snprintf(buf, sizeof buf, "HEADER RECORD*******%-8sHEADER RECORD!!!!!!!%-30s  ", word, digits);
  return std::string(buf, REC);
}
const char* ZEROS30 = "000000000000000000000000000000";

// text cut or blank-padded to w bytes.
std::string field(const std::string& s, size_t w) {
  std::string r = s.substr(0, w);
  r.resize(w, ' ');
  return r;
}

// Appends text, then blanks up to the next multiple of 80 bytes.
void padrec(std::vector<unsigned char>& out) {
  while (out.size() % REC) out.push_back(' ');
}
void put(std::vector<unsigned char>& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

// bytes at p, n long, without trailing blanks and cut at a NUL.
std::string trimmed(const unsigned char* p, size_t n) {
  size_t k = 0;
  while (k < n && p[k]) ++k;
  while (k > 0 && p[k - 1] == ' ') --k;
  return std::string(reinterpret_cast<const char*>(p), k);
}

// "ddMMMyy:hh:mm:ss" of now; a fixed time while ZELTA_LOGCLOCK is set (the
// test scripts' clock), so that files written by tests compare byte for byte.
std::string stamp() {
  if (std::getenv("ZELTA_LOGCLOCK")) return "01JAN00:00:00:00";
  static const char* mon[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%s%02d:%02d:%02d:%02d", tm.tm_mday, mon[tm.tm_mon], tm.tm_year % 100, tm.tm_hour,
                tm.tm_min, tm.tm_sec);
  return std::string(buf, 16);
}

bool startswith(const unsigned char* p, const std::string& s) { return std::memcmp(p, s.data(), s.size()) == 0; }

}  // namespace

int xpt_putnum(unsigned char* p, double x) {
  std::memset(p, 0, 8);
  if (x != x || ismissing(x)) {
    const int k = x != x ? 0 : missing_code(x);
    p[0] = static_cast<unsigned char>(k <= 0 ? '.' : 'A' + k - 1);
    return 0;
  }
  if (x == 0) return 0;
  const bool neg = x < 0;
  int e = 0;
  const double m = std::frexp(std::fabs(x), &e);  // |x| = m 2^e, 0.5 <= m < 1
  // |x| = f 16^E with 1/16 <= f < 1: E = ceil(e / 4), the fraction shifted
  // right by 4E - e (0 to 3) bits, which the 56-bit fraction holds exactly
  // for the 53 bits of a double.
  const int E = e >= 0 ? (e + 3) / 4 : -((-e) / 4);
  const int shift = 4 * E - e;
  uint64_t frac = static_cast<uint64_t>(std::ldexp(m, 56 - shift));
  int ex = E + 64;
  int rc = 0;
  if (ex > 127) {  // beyond the largest IBM magnitude
    ex = 127;
    frac = FRAC56;
    rc = 2;
  } else if (ex < 0) {  // below the smallest normal magnitude: unnormalised, rounded
    const int k = 4 * -ex;
    ex = 0;
    uint64_t kept = 0, rem = frac, half = 0;
    if (k < 60) {
      kept = frac >> k;
      rem = frac & ((1ULL << k) - 1);
      half = 1ULL << (k - 1);
    } else {
      half = ~0ULL;  // everything is lost: rounds to zero
    }
    if (rem > half || (rem == half && (kept & 1))) ++kept;
    frac = kept;
    rc = rem ? 1 : 0;
    if (frac > FRAC56) {  // the rounding carried into the next hexadecimal digit
      frac >>= 4;
      ex = 1;
    }
    if (frac == 0) return 1;
  }
  p[0] = static_cast<unsigned char>((neg ? 0x80 : 0) | ex);
  for (int i = 1; i < 8; ++i) p[i] = static_cast<unsigned char>(frac >> (8 * (7 - i)));
  return rc;
}

double xpt_getnum(const unsigned char* p, int len, bool* underscore) {
  unsigned char b[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  std::memcpy(b, p, static_cast<size_t>(std::clamp(len, 1, 8)));
  uint64_t frac = 0;
  for (int i = 1; i < 8; ++i) frac = (frac << 8) | b[i];
  if (frac == 0) {
    if (b[0] == '.') return misval_k(0);
    if (b[0] >= 'A' && b[0] <= 'Z') return misval_k(b[0] - 'A' + 1);
    if (b[0] == '_') {
      if (underscore) *underscore = true;
      return misval_k(0);
    }
    return 0;
  }
  const int ex = b[0] & 0x7f;
  const double v = std::ldexp(static_cast<double>(frac), 4 * (ex - 64) - 56);
  return (b[0] & 0x80) ? -v : v;
}

void xpt_build(XptData& d, std::vector<unsigned char>& out, long* nround, long* nbig) {
  *nround = *nbig = 0;
  const std::string made = d.created.size() == 16 ? d.created : stamp();
  out.clear();
  put(out, header("LIBRARY", ZEROS30));
  put(out, field("SAS", 8) + field("SAS", 8) + field("SASLIB", 8) + field("6.06", 8) + field("bsd4.2", 8) +
               std::string(24, ' ') + made);
  put(out, made + std::string(64, ' '));
  put(out, header("MEMBER", "000000000000000001600000000140"));
  put(out, header("DSCRPTR", ZEROS30));
  put(out, field("SAS", 8) + field(d.dsname, 8) + field("SASDATA", 8) + field("6.06", 8) + field("bsd4.2", 8) +
               std::string(24, ' ') + made);
  put(out, made + std::string(16, ' ') + field(d.dslabel, XPT_LABELLEN) + std::string(8, ' '));
  char digits[40];
  std::snprintf(digits, sizeof digits, "000000%04d00000000000000000000", static_cast<int>(d.vars.size()));
  put(out, header("NAMESTR", digits));
  int pos = 0;
  ByteWriter w(true);
  for (size_t k = 0; k < d.vars.size(); ++k) {
    XptVar& v = d.vars[k];
    v.pos = pos;
    pos += v.len;
    w.u2(v.isstr ? 2 : 1);
    w.u2(0);
    w.u2(static_cast<unsigned>(v.len));
    w.u2(static_cast<unsigned>(k + 1));
    const std::string blanks = field(v.name, 8) + field(v.label, XPT_LABELLEN) + field(v.fmt, 8);
    w.bytes(blanks.data(), blanks.size());
    w.u2(static_cast<unsigned>(v.fmtw));
    w.u2(static_cast<unsigned>(v.fmtd));
    w.u2(v.isstr ? 0 : 1);
    w.u2(0);
    const std::string inf = field("", 8);
    w.bytes(inf.data(), inf.size());
    w.u2(0);
    w.u2(0);
    w.u4(static_cast<uint32_t>(v.pos));
    w.grow(52);
  }
  out.insert(out.end(), w.buf.begin(), w.buf.end());
  padrec(out);
  put(out, header("OBS", ZEROS30));
  const size_t base = out.size();
  out.reserve(base + static_cast<size_t>(d.nobs) * static_cast<size_t>(pos) + REC);
  unsigned char cell[8];
  for (long i = 0; i < d.nobs; ++i)
    for (size_t k = 0; k < d.vars.size(); ++k) {
      const XptVar& v = d.vars[k];
      if (v.isstr) {
        put(out, field(d.str[k][static_cast<size_t>(i)], static_cast<size_t>(v.len)));
      } else {
        const int rc = xpt_putnum(cell, d.num[k][static_cast<size_t>(i)]);
        if (rc == 1) ++*nround;
        if (rc == 2) ++*nbig;
        out.insert(out.end(), cell, cell + v.len);
      }
    }
  padrec(out);
}

int xpt_parse(const unsigned char* p, size_t n, XptData& d, std::string& msg) {
  d = XptData{};
  if (n < REC || !startswith(p, header("LIBRARY", ZEROS30))) {
    if (n >= 48 && std::memcmp(p, "HEADER RECORD*******LIB", 23) == 0) {
      msg = "a transport file of a later version than 5";
      return RC_FILEFORMAT;
    }
    msg = "not a transport file";
    return RC_FILEFORMAT;
  }
  if (n < 8 * REC) {
    msg = "the file ends inside its headers";
    return RC_EOF;
  }
  const unsigned char* r = p + 3 * REC;
  if (!startswith(r, header("MEMBER", ZEROS30).substr(0, 48))) {
    msg = "member header missing";
    return RC_FILEFORMAT;
  }
  const std::string nsl(reinterpret_cast<const char*>(r + 75), 3);
  if (nsl != "140" && nsl != "136") {
    msg = "namestr length " + nsl + " unknown";
    return RC_CORRUPT;
  }
  const size_t nslen = nsl == "140" ? 140 : 136;
  if (!startswith(p + 4 * REC, header("DSCRPTR", ZEROS30).substr(0, 48))) {
    msg = "descriptor header missing";
    return RC_FILEFORMAT;
  }
  d.dsname = trimmed(p + 5 * REC + 8, 8);
  d.created = std::string(reinterpret_cast<const char*>(p + 5 * REC + 64), 16);
  d.dslabel = trimmed(p + 6 * REC + 32, XPT_LABELLEN);
  r = p + 7 * REC;
  if (!startswith(r, header("NAMESTR", ZEROS30).substr(0, 48))) {
    msg = "namestr header missing";
    return RC_FILEFORMAT;
  }
  int nvar = 0;
  for (int i = 54; i < 58; ++i) {
    if (r[i] < '0' || r[i] > '9') {
      msg = "variable count invalid";
      return RC_CORRUPT;
    }
    nvar = nvar * 10 + (r[i] - '0');
  }
  size_t at = 8 * REC;
  const size_t nsbytes = static_cast<size_t>(nvar) * nslen;
  if (n - at < nsbytes) {
    msg = "the file ends inside the variable descriptions";
    return RC_EOF;
  }
  ByteReader br(p + at, nsbytes, true);
  int obslen = 0;
  for (int k = 0; k < nvar; ++k) {
    XptVar v;
    const size_t start = br.pos;
    const unsigned ntype = br.u2();
    br.skip(2);
    const unsigned nlng = br.u2();
    br.skip(2);
    v.name = trimmed(br.bytes(8), 8);
    v.label = trimmed(br.bytes(XPT_LABELLEN), XPT_LABELLEN);
    v.fmt = trimmed(br.bytes(8), 8);
    v.fmtw = br.u2();
    v.fmtd = br.u2();
    br.skip(2 + 2 + 8 + 2 + 2);
    const uint32_t npos = br.u4();
    br.pos = start + nslen;
    v.isstr = ntype == 2;
    if (ntype != 1 && ntype != 2) {
      msg = "variable " + std::to_string(k + 1) + " has an unknown type";
      return RC_CORRUPT;
    }
    if (v.isstr ? (nlng < 1 || nlng > 32767) : (nlng < 2 || nlng > 8)) {
      msg = "variable " + std::to_string(k + 1) + " has an invalid length";
      return RC_CORRUPT;
    }
    if (npos > (1u << 20)) {
      msg = "variable " + std::to_string(k + 1) + " has an invalid position";
      return RC_CORRUPT;
    }
    v.len = static_cast<int>(nlng);
    v.pos = static_cast<int>(npos);
    obslen = std::max(obslen, v.pos + v.len);
    d.vars.push_back(std::move(v));
  }
  // The fields may not overlap: then the cells never outnumber the bytes.
  {
    std::vector<const XptVar*> byp;
    for (const XptVar& v : d.vars) byp.push_back(&v);
    std::sort(byp.begin(), byp.end(), [](const XptVar* a, const XptVar* b) { return a->pos < b->pos; });
    for (size_t k = 1; k < byp.size(); ++k)
      if (byp[k]->pos < byp[k - 1]->pos + byp[k - 1]->len) {
        msg = "variables " + byp[k - 1]->name + " and " + byp[k]->name + " overlap";
        return RC_CORRUPT;
      }
  }
  at += (nsbytes + REC - 1) / REC * REC;
  if (at > n || n - at < REC) {
    msg = "the file ends before its observations";
    return RC_EOF;
  }
  if (!startswith(p + at, header("OBS", ZEROS30).substr(0, 48))) {
    msg = "observation header missing";
    return RC_FILEFORMAT;
  }
  at += REC;
  // The data run to the end of the file or to the next member's header.
  size_t end = n;
  d.nmembers = 1;
  const std::string mh = header("MEMBER", ZEROS30).substr(0, 48);
  for (size_t q = at; q + REC <= n; q += REC)
    if (startswith(p + q, mh)) {
      if (end == n) end = q;
      ++d.nmembers;
    }
  const size_t total = end - at;
  if (total % REC) {
    msg = "the file ends inside a record";
    return RC_EOF;
  }
  long nobs = obslen ? static_cast<long>(total / static_cast<size_t>(obslen)) : 0;
  // The last record is padded with blanks: observations wholly inside that
  // padding (less than 80 bytes) and blank are not data.
  const auto blankobs = [&](long i) {
    const unsigned char* o = p + at + static_cast<size_t>(i) * static_cast<size_t>(obslen);
    for (int j = 0; j < obslen; ++j)
      if (o[j] != ' ') return false;
    return true;
  };
  while (nobs > 0 && total - static_cast<size_t>(nobs - 1) * static_cast<size_t>(obslen) < REC && blankobs(nobs - 1))
    --nobs;
  d.nobs = nobs;
  d.num.assign(d.vars.size(), {});
  d.str.assign(d.vars.size(), {});
  for (size_t k = 0; k < d.vars.size(); ++k) {
    const XptVar& v = d.vars[k];
    if (v.isstr) d.str[k].resize(static_cast<size_t>(nobs));
    else d.num[k].resize(static_cast<size_t>(nobs));
  }
  for (long i = 0; i < nobs; ++i) {
    const unsigned char* o = p + at + static_cast<size_t>(i) * static_cast<size_t>(obslen);
    for (size_t k = 0; k < d.vars.size(); ++k) {
      const XptVar& v = d.vars[k];
      if (v.isstr) {
        d.str[k][static_cast<size_t>(i)] = trimmed(o + v.pos, static_cast<size_t>(v.len));
      } else {
        bool us = false;
        d.num[k][static_cast<size_t>(i)] = xpt_getnum(o + v.pos, v.len, &us);
        if (us) ++d.nunderscore;
      }
    }
  }
  return 0;
}
