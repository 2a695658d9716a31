// Compiled Vemo functions on disk: object files (.vo, one function) and
// libraries (.vlib, up to 500), both the same layout — a header with the
// directory, then each member twice, once in each byte order. This file
// reads and checks that layout, converts code between byte orders, writes
// libraries whole through a temporary file (so a failed write never leaves
// a damaged library), keeps the library search list, loads functions for
// the autoloader and runs `vemo vosave` and `vemo vlib`.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "files/atomicfile.h"
#include "files/byteorder.h"
#include "interp/cmdtab.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/output.h"
#include "vemo/vemo.h"
#include "vemo/stsel.h"
#include "vemo/vofile.h"
#include "vemo/verify.h"
#include "vemo/vm.h"
#include "output/rc.h"

VofileState vos;

namespace {

constexpr unsigned char SIG[4] = {0x81, 0x92, 0xA7, 0xB9};
constexpr int LIBCAP = 500, VOCAP = 2, NAMELEN = 33, MEMBERHDR = 18;

size_t hdrsize(uint32_t cap) { return 16 + 41 * static_cast<size_t>(cap); }

int fail(int rc, const std::string& msg) {
  int prev = setoutlev(OUT_ERROR);
  spout21((msg + "\n").c_str());
  setoutlev(prev);
  return rc;
}

uint32_t bswap32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}
int32_t rev(int32_t w) { return static_cast<int32_t>(bswap32(static_cast<uint32_t>(w))); }

}  // namespace

// ------------------------------------------------------------------ code

int vo_revcode(const std::vector<int32_t>& in, std::vector<int32_t>& res, std::string& msg) {
  res = in;
  const int n = static_cast<int>(in.size());
  if (n < 3) {
    msg = "revpgm: invalid opcode 0";
    return RC_VEMO_CONVERT;
  }
  res[0] = rev(in[0]);
  res[1] = rev(in[1]);
  if (in[2] == opstructdef) {
    // header words, then records tagged 0 (three words), 1 (six words),
    // 2 (a word count and that many string words) and 3 (the end)
    if (n < 4) {
      msg = "not struct def";
      return RC_VEMO_CONVERT;
    }
    res[2] = rev(in[2]);
    res[3] = rev(in[3]);
    int p = 4;
    while (p < n) {
      const int tag = in[static_cast<size_t>(p)];
      res[static_cast<size_t>(p)] = rev(tag);
      int len;
      if (tag == 0) len = 3;
      else if (tag == 1) len = 6;
      else if (tag == 2) {
        if (p + 1 >= n || in[static_cast<size_t>(p) + 1] < 0 || in[static_cast<size_t>(p) + 1] > n) {
          msg = "revstructdef: invalid opcode";
          return RC_VEMO_CONVERT;
        }
        res[static_cast<size_t>(p) + 1] = rev(in[static_cast<size_t>(p) + 1]);
        p += 2 + in[static_cast<size_t>(p) + 1];
        continue;
      } else if (tag == 3) {
        ++p;
        // what follows the definition's end is plain words
        for (; p < n; ++p) res[static_cast<size_t>(p)] = rev(in[static_cast<size_t>(p)]);
        return 0;
      } else {
        msg = "revstructdef: invalid opcode";
        return RC_VEMO_CONVERT;
      }
      if (p + len >= n + 0 && p + len > n) {
        msg = "revstructdef: invalid opcode";
        return RC_VEMO_CONVERT;
      }
      for (int k = 1; k <= len; ++k) res[static_cast<size_t>(p + k)] = rev(in[static_cast<size_t>(p + k)]);
      p += 1 + len;
    }
    if (p > n) {
      msg = "revstructdef: invalid opcode";
      return RC_VEMO_CONVERT;
    }
    return 0;
  }
  int pc = 2;
  while (pc < n) {
    const int op = in[static_cast<size_t>(pc)];
    if (op < 0 || op > 154) {
      msg = "revpgm: invalid opcode " + std::to_string(op);
      return RC_VEMO_CONVERT;
    }
    res[static_cast<size_t>(pc)] = rev(op);
    if (op == opnumpool) {
      if (pc + 1 >= n) break;
      const int cnt = in[static_cast<size_t>(pc) + 1];
      res[static_cast<size_t>(pc) + 1] = rev(cnt);
      if (cnt < 0 || pc + 2 + 2 * static_cast<long>(cnt) > n) break;
      for (int k = 0; k < cnt; ++k) {
        const size_t a = static_cast<size_t>(pc + 2 + 2 * k);
        // one 8-byte double: its two words trade places, each reversed
        res[a] = rev(in[a + 1]);
        res[a + 1] = rev(in[a]);
      }
      pc += 2 + 2 * cnt;
      continue;
    }
    if (op == opstrpool) {
      if (pc + 1 >= n) break;
      const int cnt = in[static_cast<size_t>(pc) + 1];
      res[static_cast<size_t>(pc) + 1] = rev(cnt);
      int p = pc + 2;
      for (int k = 0; k < cnt && p < n; ++k) {
        const int w = in[static_cast<size_t>(p)];
        res[static_cast<size_t>(p)] = rev(w);
        if (w < 0 || p + 1 + w > n) {
          msg = "revpgm: invalid opcode " + std::to_string(op);
          return RC_VEMO_CONVERT;
        }
        p += 1 + w;
      }
      pc = p;
      continue;
    }
    const int len = vm_oplen(in.data(), pc, n);
    if (len == 0) {
      msg = "revpgm: invalid opcode " + std::to_string(op);
      return RC_VEMO_CONVERT;
    }
    // operand words are reversed; an embedded string keeps its bytes and
    // reverses only its word count
    int strat = -1;
    switch (vm_oplayout[op]) {
      case L_S: strat = pc + 1; break;
      case L_WS: strat = pc + 2; break;
      case L_WWWS: strat = pc + 4; break;
      default: break;
    }
    for (int k = pc + 1; k < pc + len; ++k) {
      if (strat >= 0 && k > strat) break;
      res[static_cast<size_t>(k)] = rev(in[static_cast<size_t>(k)]);
    }
    pc += len;
  }
  return 0;
}

// Clears the cached lookups in `target`, laid out as `code` up to code's
// end: the code itself, or its run-time copy. A fused opcode of the copy
// stands only in place of the first opcode of its sequence, with the operands
// unmoved, but has no length of its own, so the walk follows the stored code;
// the loop copies past its end hold no lookups.
static void clearcaches(const std::vector<int32_t>& code, std::vector<int32_t>& target) {
  const int n = static_cast<int>(std::min(code.size(), target.size()));
  if (n < 3 || code[2] == opstructdef) return;
  for (int pc = 2; pc < n;) {
    const int op = code[static_cast<size_t>(pc)];
    if (op == opstop || op == opnumpool || op == opstrpool) break;
    const int len = vm_oplen(code.data(), pc, n);
    if (!len) break;
    if (op == opfindf) target[static_cast<size_t>(pc) + 1] = target[static_cast<size_t>(pc) + 2] = target[static_cast<size_t>(pc) + 3] = 0;
    pc += len;
  }
}

void vo_clearcaches(std::vector<int32_t>& code) { clearcaches(code, code); }

namespace {

bool isalc(int op) { return (op >= opalc_cm && op <= opalc_ps) || op == opalc_rm || (op >= opalc_stcm && op <= opalc_stcs); }

}  // namespace

// Checks code read from a file before it may run, so that a damaged or
// hostile file cannot point outside the function's code or frame: the
// instructions walk cleanly to the literal pools; every branch lands on an
// instruction before the pools; every literal operand addresses a literal of
// the pools; every slot operand is below the number of slots the function
// can make (its arguments and one per local, external or function found).
bool vo_codeok(const std::vector<int32_t>& code) {
  std::vector<int32_t> tmp;
  std::string msg;
  if (code.size() < 3) return false;
  if (code[2] == opstructdef) return vo_revcode(code, tmp, msg) == 0;
  if (vo_revcode(code, tmp, msg)) return false;
  const int n = static_cast<int>(code.size());
  std::vector<char> start(static_cast<size_t>(n), 0);
  int pc = 2, pools = -1;
  long slots = 0;
  while (pc < n) {
    const int op = code[static_cast<size_t>(pc)];
    if (op < 0 || op > 154) return false;
    if (op == opnumpool || op == opstrpool) {
      pools = pc;
      break;
    }
    const int len = vm_oplen(code.data(), pc, n);
    if (!len) return false;
    start[static_cast<size_t>(pc)] = 1;
    if (op == opnarg) slots += std::max(0, code[static_cast<size_t>(pc) + 1]);
    if (op == oparg2) slots += std::max(0, code[static_cast<size_t>(pc) + 2]);
    if (isalc(op) || op == opfindf || op == opfind || op == opextern) ++slots;
    pc += len;
  }
  if (pools < 0) return false;
  // the literal addresses of the pools
  std::vector<char> numlit(static_cast<size_t>(n), 0), strlit(static_cast<size_t>(n), 0);
  for (int p = pools; p < n;) {
    const int op = code[static_cast<size_t>(p)];
    if (op != opnumpool && op != opstrpool) break;  // what follows the pools is not code
    if (p + 1 >= n) return false;
    const int cnt = code[static_cast<size_t>(p) + 1];
    if (cnt < 0 || cnt > n) return false;
    if (op == opnumpool) {
      if (p + 2 + 2L * cnt > n) return false;
      for (int k = 0; k < cnt; ++k) numlit[static_cast<size_t>(p + 2 + 2 * k)] = 1;
      p += 2 + 2 * cnt;
    } else {
      int q = p + 2;
      for (int k = 0; k < cnt; ++k) {
        if (q >= n) return false;
        const int w = code[static_cast<size_t>(q)];
        if (w < 0 || q + 1L + w > n) return false;
        strlit[static_cast<size_t>(q)] = 1;
        q += 1 + w;
      }
      p = q;
    }
  }
  for (pc = 2; pc < pools; pc += vm_oplen(code.data(), pc, n)) {
    const int op = code[static_cast<size_t>(pc)];
    const int a = pc + 1 < n ? code[static_cast<size_t>(pc) + 1] : -1;
    if (vm_slotop(op) && (a < 0 || a >= slots)) return false;
    if ((op == opgoto || op == opbrfalse || op == optst0) && (a < 2 || a >= pools || !start[static_cast<size_t>(a)]))
      return false;
    if ((op == opldlit || op == opldilit) && (a < 0 || a >= n || !numlit[static_cast<size_t>(a)])) return false;
    if (op == opldstr && (a < 0 || a >= n || !strlit[static_cast<size_t>(a)])) return false;
    if ((op == opolc_rm || (op > opolc_rm && op <= opolc_ps) || (op >= opolc_stcm && op <= opolc_stcc)) &&
        (a < 1 || a > slots))
      return false;
  }
  return true;
}

// ------------------------------------------------------------------ images

namespace {

// A library or object file held in memory.
struct Image {
  std::vector<unsigned char> b;
  bool hilo = false;        // byte order of the header's integers
  uint32_t n = 0, cap = 0;
  int version = 3;
  uint32_t off(int table, uint32_t k) const {
    return bo_get4(&b[16 + 4 * static_cast<size_t>(cap) * static_cast<size_t>(table) + 4 * k], hilo);
  }
  std::string name(uint32_t k) const {
    const char* p = reinterpret_cast<const char*>(&b[16 + 8 * static_cast<size_t>(cap) + NAMELEN * static_cast<size_t>(k)]);
    return std::string(p, strnlen(p, NAMELEN));
  }
};

bool readfile(const std::string& path, std::vector<unsigned char>& dst) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  dst.clear();
  unsigned char buf[65536];
  size_t k;
  while ((k = std::fread(buf, 1, sizeof buf, f)) > 0) dst.insert(dst.end(), buf, buf + k);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

int vo_parse(const std::vector<unsigned char>& b, const std::string& path, VoImage& img, bool quiet) {
  auto bad = [&](int rc, const std::string& msg) { return quiet ? rc : fail(rc, msg); };
  if (b.size() < 16) return bad(612, "could not read " + path);
  if (std::memcmp(b.data(), SIG, 4) || (b[4] != 1 && b[4] != 2)) return bad(610, path + " not vemo library");
  const bool hilo = b[4] == 1;
  const int version = bo_get2(&b[6], hilo);
  if (version > 3) return bad(610, path + " from a more recent version of Zelta");
  if (version < 2) return bad(610, path + " from a older version of Zelta");
  const uint32_t n = bo_get4(&b[8], hilo), cap = bo_get4(&b[12], hilo);
  if (cap == 0 || cap > LIBCAP || n > cap) return bad(610, path + " not vemo library");
  if (b.size() < hdrsize(cap)) return bad(612, "could not read " + path);
  img = VoImage{};
  img.hilo = hilo;
  img.version = version;
  img.n = n;
  img.cap = cap;
  Image im;
  im.b = b;
  im.hilo = hilo;
  im.cap = cap;
  im.n = n;
  for (uint32_t k = 0; k < n; ++k) {
    VoMember m;
    m.name = im.name(k);
    m.offhilo = im.off(0, k);
    m.offlohi = im.off(1, k);
    img.members.push_back(m);
  }
  return 0;
}

int vo_readmember(const std::vector<unsigned char>& b, const std::string&, const VoMember& m, Fcn** fcn,
                  int* release, bool quiet) {
  auto bad = [&](int rc, const std::string& msg) { return quiet ? rc : fail(rc, msg); };
  const bool hilo = bo_native() == BO_HILO;
  const uint32_t off = hilo ? m.offhilo : m.offlohi;
  if (off == 0 || off >= b.size()) return bad(610, "unable to seek; library is corrupt");
  if (b.size() - off < MEMBERHDR) return bad(610, "unable to read; library is corrupt");
  const unsigned char* p = &b[off];
  const uint32_t bytes = bo_get4(p, hilo), words = bo_get4(p + 4, hilo);
  const int32_t rettype = static_cast<int32_t>(bo_get4(p + 8, hilo));
  const int retorg = static_cast<int16_t>(bo_get2(p + 12, hilo));
  const int kind = bo_get2(p + 14, hilo);
  *release = bo_get2(p + 16, hilo);
  if (bytes != 4 * static_cast<uint64_t>(words) || words < 3 || kind != 2 ||
      b.size() - off - MEMBERHDR < static_cast<uint64_t>(bytes))
    return bad(610, "unable to read; library is corrupt");
  std::vector<int32_t> code(words);
  std::memcpy(code.data(), p + MEMBERHDR, bytes);
  if (code[0] != *release || !vo_codeok(code) || rettype < -1 || rettype > 6 || retorg < 0 || retorg > 5)
    return bad(610, "unable to read; library is corrupt");
  // every path through the code keeps the stack within the frame
  const VoVerify v = vo_verify(code);
  if (!v.ok)
    return bad(610, m.name + "(): " + v.why + " at word " + std::to_string(v.pc) +
                        "\nunable to read; library is corrupt");
  // lookups cached by the writer mean nothing here
  vo_clearcaches(code);
  Fcn* f = new Fcn;
  f->name = m.name;
  f->code = std::move(code);
  f->rettype = rettype;
  f->retorg = retorg;
  *fcn = f;
  return 0;
}

namespace {

// Bytes of one member copy in the given byte order.
void putmember(std::vector<unsigned char>& dst, const Fcn& f, const std::vector<int32_t>& words, bool hilo) {
  unsigned char h[MEMBERHDR];
  bo_put4(h, static_cast<uint32_t>(words.size() * 4), hilo);
  bo_put4(h + 4, static_cast<uint32_t>(words.size()), hilo);
  bo_put4(h + 8, static_cast<uint32_t>(f.rettype), hilo);
  bo_put2(h + 12, static_cast<uint16_t>(f.retorg), hilo);
  bo_put2(h + 14, 2, hilo);
  bo_put2(h + 16, static_cast<uint16_t>(f.code.empty() ? 920 : f.code[0]), hilo);
  dst.insert(dst.end(), h, h + MEMBERHDR);
  const unsigned char* w = reinterpret_cast<const unsigned char*>(words.data());
  dst.insert(dst.end(), w, w + words.size() * 4);
}

// An empty library image of capacity cap, header in this machine's order.
std::vector<unsigned char> emptyimage(uint32_t cap) {
  std::vector<unsigned char> b(hdrsize(cap), 0);
  const bool hilo = bo_native() == BO_HILO;
  std::memcpy(b.data(), SIG, 4);
  b[4] = hilo ? 1 : 2;
  b[5] = 0;
  bo_put2(&b[6], 3, hilo);
  bo_put4(&b[8], 0, hilo);
  bo_put4(&b[12], cap, hilo);
  return b;
}

}  // namespace

int vo_addmember(std::vector<unsigned char>& b, const Fcn& f) {
  VoImage im;
  if (int rc = vo_parse(b, "library", im, false)) return rc;
  if (im.version != 3) return fail(RC_FILEFORMAT, "cannot add members to old-format libarary");
  if (im.n >= im.cap) return fail(RC_RECTOOLONG, "library is full");
  for (const VoMember& m : im.members)
    if (m.name == f.name) return fail(RC_FILEEXISTS, f.name + " already member of library");
  if (f.code.empty()) return fail(RC_VEMO_EMPTYFN, "unexpected 0-length function");
  std::vector<int32_t> native = f.code, other;
  vo_clearcaches(native);
  std::string msg;
  if (int rc = vo_revcode(native, other, msg)) return fail(rc, msg);
  const bool nhilo = bo_native() == BO_HILO;
  const uint32_t first = static_cast<uint32_t>(b.size());
  putmember(b, f, native, nhilo);
  const uint32_t second = static_cast<uint32_t>(b.size());
  putmember(b, f, other, !nhilo);
  const bool hilo = im.hilo;
  const uint32_t k = im.n;
  bo_put4(&b[16 + 4 * k], nhilo ? first : second, hilo);
  bo_put4(&b[16 + 4 * static_cast<size_t>(im.cap) + 4 * k], nhilo ? second : first, hilo);
  char* nm = reinterpret_cast<char*>(&b[16 + 8 * static_cast<size_t>(im.cap) + NAMELEN * static_cast<size_t>(k)]);
  std::memset(nm, 0, NAMELEN);
  std::memcpy(nm, f.name.data(), std::min<size_t>(f.name.size(), NAMELEN - 1));
  bo_put4(&b[8], k + 1, hilo);
  return 0;
}

namespace {

// Writes the image over path through a temporary file.
int writeimage(const std::string& path, const std::vector<unsigned char>& b, bool library) {
  AtomicFile f;
  if (int rc = af_open(f, path)) return fail(rc, "file " + path + " could not be opened");
  if (af_write(f, b.data(), b.size()) || af_commit(f)) {
    af_abort(f);
    return fail(RC_WRITE, library ? "could not write into library" : "error writing file " + path);
  }
  return 0;
}

bool fileexists(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0;
}

// ------------------------------------------------------------------ search list


void buildindex() {
  vos.indexed = true;
  const std::string* ado = macget_global("S_ADO");
  if (!ado) {
    vos.searchlist = "base;math;stat;io;eispack";
    return;
  }
  std::vector<std::string> found;
  for (const std::string& d : adopath_dirs()) {
    for (const std::string& dir : {d + "l/", d}) {
      DIR* dp = opendir(dir.c_str());
      if (!dp) continue;
      std::vector<std::string> here;
      while (dirent* e = readdir(dp)) {
        std::string nm = e->d_name;
        if (nm.size() > 5 && nm.compare(nm.size() - 5, 5, ".vlib") == 0 && nm[0] == 'l') here.push_back(nm.substr(0, nm.size() - 5));
      }
      closedir(dp);
      std::sort(here.begin(), here.end());
      for (const std::string& nm : here)
        if (nm.size() < 33 && found.size() < 50 && std::find(found.begin(), found.end(), nm) == found.end()) found.push_back(nm);
    }
  }
  std::vector<std::string> ordered;
  if (std::find(found.begin(), found.end(), "lvemobase") != found.end()) ordered.push_back("lvemobase");
  for (const std::string& nm : found)
    if (nm != "lvemobase" && nm.compare(0, 5, "lvemo") == 0) ordered.push_back(nm);
  for (const std::string& nm : found)
    if (nm.compare(0, 5, "lvemo") != 0) ordered.push_back(nm);
  vos.searchlist.clear();
  for (const std::string& nm : ordered) {
    const size_t add = nm.size() + (vos.searchlist.empty() ? 0 : 1);
    if (vos.searchlist.size() + add > 254) break;
    if (!vos.searchlist.empty()) vos.searchlist += ';';
    vos.searchlist += nm;
  }
}

std::vector<std::string> searchnames() {
  if (!vos.indexed) buildindex();
  std::vector<std::string> names;
  std::string cur;
  for (char c : vos.searchlist + ";") {
    if (c == ';' || c == ' ' || c == ':') {
      if (!cur.empty()) names.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  return names;
}

std::string relname(int release) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d.%02d", release / 100, release % 100);
  std::string s = buf;
  if (s.back() == '0') s.pop_back();
  return s;
}

}  // namespace

// ------------------------------------------------------------------ autoload

std::string vo_where(const std::string& name, Fcn** load) {
  if (load) *load = nullptr;
  std::vector<std::string> files;
  const std::string vo = srchado(name.c_str(), "vo", 1);
  if (vst.vofirst && !vo.empty()) files.push_back(vo);
  for (const std::string& lib : searchnames()) {
    std::string p = srchado(lib.c_str(), "vlib", 1);
    if (!p.empty()) files.push_back(p);
  }
  if (!vst.vofirst && !vo.empty()) files.push_back(vo);
  std::string skipped, skipfile;
  int skiprel = 0;
  for (const std::string& path : files) {
    if (ds_pollbreak()) break;
    std::vector<unsigned char> b;
    if (!readfile(path, b)) continue;
    VoImage im;
    if (vo_parse(b, path, im, true)) continue;
    for (const VoMember& m : im.members) {
      if (m.name != name) continue;
      if (!load) return path;
      Fcn* f = nullptr;
      int release = 0;
      // a damaged member says so (and the lookup goes on as if not found)
      if (vo_readmember(b, path, m, &f, &release, false)) {
        // a member whose header cannot be read still tells its release
        if (release && (release < 890 || release > 920) && skipped.empty()) {
          skipped = release < 890 ? "old" : "new";
          skipfile = path;
          skiprel = release;
        }
        break;
      }
      if (release < 890 || release > 920) {
        if (skipped.empty()) {
          skipped = release < 890 ? "old" : "new";
          skipfile = path;
          skiprel = release;
        }
        delete f;
        break;
      }
      f->autoloaded = true;
      f->from = path;
      *load = f;
      return path;
    }
  }
  if (load && !skipped.empty() && out.s_outlev < 3) {
    int prev = setoutlev(OUT_TEXT);
    spoutsml(("{p 0 4}(" + name + "() in " + skipfile + ", compiled by Zelta " + relname(skiprel) + ", is too " +
              skipped + " to be run by this version of Zelta\nand so was ignored){p_end}\n")
                 .c_str());
    setoutlev(prev);
  }
  return "";
}

Fcn* vemo_autoload(const char* name) {
  Fcn* f = nullptr;
  vo_where(name, &f);
  if (!f) return nullptr;
  if (!mkfcn(f)) {
    delete f;
    return findfcn(name);
  }
  return f;
}

void vemo_enforcecache() {
  const size_t budget = static_cast<size_t>(vst.cache) * 1024;
  size_t total = 0;
  for (const auto& [nm, f] : vm.fcns)
    if (f->autoloaded) total += f->code.size() * 4;
  while (total > budget) {
    // the autoloaded function used longest ago that nothing else holds
    Fcn* oldest = nullptr;
    for (const auto& [nm, f] : vm.fcns)
      if (f->autoloaded && f->refcnt == 1 && (!oldest || f->age < oldest->age)) oldest = f;
    if (!oldest) break;
    total -= oldest->code.size() * 4;
    vm.fcns.erase(oldest->name);
    fcnrelease(oldest);
  }
}

void vemo_clockreset() {
  vm.clock = 2;
  for (const auto& [nm, f] : vm.fcns) {
    vo_clearcaches(f->code);
    clearcaches(f->code, f->quick);
    if (f->autoloaded) f->age = 1;
  }
  // views compare their last refresh with the clock: make them look again
  ++vm.st_epoch;
}

// ------------------------------------------------------------------ commands

namespace {

// The words and options of a command line: "a b c, dir(x) replace".
struct CmdLine {
  std::vector<std::string> words;
  std::string dir;
  bool hasdir = false, replace = false;
  std::string badopt;
};

CmdLine cmdline() {
  CmdLine c;
  std::string rest = wheretok() ? wheretok() : "";
  while (*peektok_chr()) gettok(" ");
  size_t comma = rest.find(',');
  std::string main = rest.substr(0, comma);
  std::string opts = comma == std::string::npos ? "" : rest.substr(comma + 1);
  size_t p = 0;
  while (p < main.size()) {
    size_t b = main.find_first_not_of(' ', p);
    if (b == std::string::npos) break;
    size_t e = main.find(' ', b);
    if (e == std::string::npos) e = main.size();
    c.words.push_back(main.substr(b, e - b));
    p = e;
  }
  p = 0;
  while (p < opts.size()) {
    size_t b = opts.find_first_not_of(' ', p);
    if (b == std::string::npos) break;
    size_t e = b;
    while (e < opts.size() && opts[e] != ' ' && opts[e] != '(') ++e;
    std::string w = opts.substr(b, e - b);
    if (e < opts.size() && opts[e] == '(') {
      size_t close = opts.find(')', e);
      std::string argtext = opts.substr(e + 1, (close == std::string::npos ? opts.size() : close) - e - 1);
      if (w == "dir") {
        c.dir = argtext;
        c.hasdir = true;
      } else if (c.badopt.empty()) {
        c.badopt = w;
      }
      p = close == std::string::npos ? opts.size() : close + 1;
      continue;
    }
    if (cmdcmp(w.c_str(), "replace", 7)) c.replace = true;
    else if (c.badopt.empty()) c.badopt = w;
    p = e;
  }
  if (!c.dir.empty() && c.dir.back() != '/') c.dir += '/';
  return c;
}

int badoption(const std::string& w) { return fail(RC_SYNTAX, "option " + w + " not allowed"); }

void created(const std::string& path) {
  int prev = setoutlev(OUT_RESULT);
  spoutsml(("{p 0 4}(file " + path + " created){p_end}\n").c_str());
  setoutlev(prev);
}

int checklibname(const std::string& name) {
  std::string base = name;
  size_t slash = base.rfind('/');
  if (slash != std::string::npos) base = base.substr(slash + 1);
  if (base.empty() || base[0] != 'l')
    return fail(RC_SYNTAX, name + " invalid .vlib library name;\nlibrary names must start with letter lowercase l");
  if (base.compare(0, 5, "lvemo") == 0 && !vos.officialmode) return fail(RC_SYNTAX, "prefix lvemo reserved for official libraries");
  return 0;
}

int cmd_vosave(int) {
  vemo_start();
  CmdLine c = cmdline();
  if (!c.badopt.empty()) return badoption(c.badopt);
  if (c.words.size() != 1) return fail(RC_SYNTAX, c.words.empty() ? "function name required" : "too many names specified");
  std::string name = c.words[0];
  if (name.size() > 2 && name.compare(name.size() - 2, 2, "()") == 0) name.resize(name.size() - 2);
  Fcn* f = findfcn(name.c_str());
  if (!f) return fail(RC_NOTFOUND, name + "() not found");
  const std::string path = c.dir + name + ".vo";
  if (fileexists(path) && !c.replace) return fail(RC_FILEEXISTS, "file " + path + " already exists");
  std::vector<unsigned char> b = emptyimage(VOCAP);
  if (int rc = vo_addmember(b, *f)) return rc;
  if (int rc = writeimage(path, b, false)) return rc;
  created(path);
  return 0;
}

void printlist(const char* head) {
  int prev = setoutlev(OUT_RESULT);
  spoutsml((std::string(head) + "\n").c_str());
  spoutsml(("    " + vos.searchlist + "\n").c_str());
  setoutlev(prev);
}

// Glob match of * and ?.
bool match(const char* pat, const char* s) {
  if (!*pat) return !*s;
  if (*pat == '*') return match(pat + 1, s) || (*s && match(pat, s + 1));
  if (*pat == '?' || *pat == *s) return *s && match(pat + 1, s + 1);
  return false;
}

int cmd_vlib(int) {
  vemo_start();
  CmdLine c = cmdline();
  if (c.words.empty()) return fail(RC_SYNTAX, "vlib subcommand required");
  const std::string sub = c.words[0];
  if (sub == "OFFICIAL" || sub == "USER") {
    vos.officialmode = sub == "OFFICIAL";
    return 0;
  }
  if (sub == "index" || sub == "query") {
    if (c.words.size() > 1) return fail(RC_SYNTAX, c.words[1] + " invalid");
    if (sub == "index" || !vos.indexed) buildindex();
    printlist(sub == "index" ? ".vlib libraries to be searched are now" : ".vlib libraries to be searched are");
    return 0;
  }
  if (sub == "create") {
    if (!c.badopt.empty()) return badoption(c.badopt);
    if (c.words.size() != 2) return fail(RC_SYNTAX, c.words.size() < 2 ? "library name required" : "too many names specified");
    std::string name = c.words[1];
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".vlib") == 0) name.resize(name.size() - 5);
    if (int rc = checklibname(name)) return rc;
    const std::string path = c.dir + name + ".vlib";
    if (fileexists(path) && !c.replace) return fail(RC_FILEEXISTS, "file " + path + " already exists");
    if (int rc = writeimage(path, emptyimage(LIBCAP), true)) return rc;
    created(path);
    return 0;
  }
  if (sub == "add") {
    if (!c.badopt.empty() || c.replace) return badoption(c.replace ? "replace" : c.badopt);
    if (c.words.size() < 3) return fail(RC_SYNTAX, c.words.size() < 2 ? "library name required" : "function names required");
    std::string name = c.words[1];
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".vlib") == 0) name.resize(name.size() - 5);
    std::string path = c.hasdir ? c.dir + name + ".vlib" : srchado(name.c_str(), "vlib", 1);
    if (path.empty() || !fileexists(path)) return fail(RC_FILENOTFOUND, name + ".vlib not found");
    std::vector<unsigned char> b;
    if (!readfile(path, b)) return fail(RC_EOF, "could not read " + path);
    VoImage im;
    if (int rc = vo_parse(b, path, im, false)) return rc;
    // the functions the patterns match, each once, in name order
    std::vector<std::string> names;
    for (size_t k = 2; k < c.words.size(); ++k) {
      std::string pat = c.words[k];
      if (pat.size() > 2 && pat.compare(pat.size() - 2, 2, "()") == 0) pat.resize(pat.size() - 2);
      bool any = false;
      std::vector<std::string> here;
      for (const auto& [fn, f] : vm.fcns)
        if (match(pat.c_str(), fn.c_str())) here.push_back(fn);
      for (const auto& [gn, g] : vm.globals)
        if (match(pat.c_str(), gn.c_str())) {
          return fail(RC_SYNTAX, gn + ":  only functions may be written in libraries\nnothing added; library unchanged");
        }
      std::sort(here.begin(), here.end());
      for (const std::string& h : here) {
        any = true;
        if (std::find(names.begin(), names.end(), h) == names.end()) names.push_back(h);
      }
      if (!any) return fail(RC_NOTFOUND, pat + "() not found");
    }
    for (const std::string& nm : names)
      for (const VoMember& m : im.members)
        if (m.name == nm) return fail(RC_DEFINED, nm + "() already in library");
    for (const std::string& nm : names) {
      Fcn* f = findfcn(nm.c_str());
      if (f->rettype == -1 || f->classmember)
        return fail(RC_SYNTAX, nm + ":  only functions may be written in libraries\nnothing added; library unchanged");
      if (int rc = vo_addmember(b, *f)) return rc;
    }
    if (int rc = writeimage(path, b, true)) return rc;
    int prev = setoutlev(OUT_RESULT);
    spoutsml(("(" + std::to_string(names.size()) + " function" + (names.size() == 1 ? "" : "s") + " added)\n").c_str());
    setoutlev(prev);
    return 0;
  }
  return fail(RC_SYNTAX, sub + ":  invalid vlib subcommand");
}

}  // namespace

void vofile_bindcommands() {
  cmdbind("vemo_vosave", cmd_vosave);
  cmdbind("vemo_vlib", cmd_vlib);
}

void vofile_reset() { vos = VofileState{}; }
