// The named-object store (one hash table for globals, locals by level,
// programs and plug-ins) and the macro operations built on it: storing,
// finding, erasing, incrementing, local levels and number formatting for
// macro values. Line expansion lives in macexp.cpp.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "data/datahost.h"
#include "data/value.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"

MacroState mac;
uint64_t dm_generation = 0;

// Clearing the data drops the globals that named the dataset's file.
[[maybe_unused]] static const bool datahost_set =
    (datahost.cleared = [] { macdrop_global("S_FN"); macdrop_global("S_FNDATE"); }, true);

namespace {

ObjEntry* buckets[DMBUCKETS];
std::vector<ObjEntry*> typeheads;  // newest entry of each type

inline uint32_t hashstep(uint32_t h, unsigned char c) { return h * 31u + c; }

uint32_t hashname(const char* s) {
  uint32_t h = 0;
  for (; *s; ++s) h = hashstep(h, static_cast<unsigned char>(*s));
  return h;
}

void chain_unlink(ObjEntry* e) {
  ObjEntry*& head = buckets[e->hash % DMBUCKETS];
  if (e->hprev) e->hprev->hnext = e->hnext;
  else head = e->hnext;
  if (e->hnext) e->hnext->hprev = e->hprev;
  e->hnext = e->hprev = nullptr;
}

void chain_front(ObjEntry* e) {
  ObjEntry*& head = buckets[e->hash % DMBUCKETS];
  e->hprev = nullptr;
  e->hnext = head;
  if (head) head->hprev = e;
  head = e;
}

// Counts a hit; every 11th moves the entry to the front of its chain.
inline ObjEntry* hit(ObjEntry* e) {
  if (++e->hits >= 11) {
    e->hits = 0;
    if (e->hprev) {
      chain_unlink(e);
      chain_front(e);
    }
  }
  return e;
}

}  // namespace

ObjEntry* dmfind(const char* name, int type) {
  const uint32_t h = hashname(name);
  for (ObjEntry* e = buckets[h % DMBUCKETS]; e; e = e->hnext)
    if (e->hash == h && e->type == type && !std::strcmp(e->name, name)) return hit(e);
  return nullptr;
}

ObjEntry* dmfind_local(const char* name, size_t len, int type) {
  uint32_t h = hashstep(0, '_');
  for (size_t i = 0; i < len; ++i) h = hashstep(h, static_cast<unsigned char>(name[i]));
  for (ObjEntry* e = buckets[h % DMBUCKETS]; e; e = e->hnext)
    if (e->hash == h && e->type == type && e->name[0] == '_' && !std::strncmp(e->name + 1, name, len) &&
        e->name[len + 1] == 0)
      return hit(e);
  return nullptr;
}

ObjEntry* dmfind_local_cached(DmCache& c, const char* name, size_t len, int type) {
  if (c.gen == dm_generation && c.type == type) return c.entry;
  c.entry = dmfind_local(name, len, type);
  c.type = type;
  c.gen = dm_generation;
  return c.entry;
}

ObjEntry* dmmake(const char* name, int type) {
  if (ObjEntry* e = dmfind(name, type)) return e;
  auto* e = new (std::nothrow) ObjEntry;
  if (!e) return nullptr;
  ++dm_generation;
  std::strncpy(e->name, name, MACNAMELEN + 1);
  e->hash = hashname(e->name);
  e->type = type;
  chain_front(e);
  if (static_cast<size_t>(type) >= typeheads.size()) typeheads.resize(static_cast<size_t>(type) + 64, nullptr);
  ObjEntry*& th = typeheads[static_cast<size_t>(type)];
  e->tnext = th;
  if (th) th->tprev = e;
  th = e;
  return e;
}

int dmstore(const char* name, int type, const char* text, size_t len) {
  ObjEntry* e = dmmake(name, type);
  if (!e) return RC_INSUFMEM;
  dmsettext(e, text, len);
  return 0;
}

void dmsettext(ObjEntry* e, const char* text, size_t len) {
  // Reuse the block when the new size is within the slack of the old one,
  // so a loop counter rewritten a million times never reallocates.
  const size_t need = len + 1, alloc = e->text.capacity() + 1;
  size_t slack = need / 2;
  if (slack < 128) slack = 128;
  if (slack > 1024) slack = 1024;
  if (need <= alloc && need + slack >= alloc) {
    e->text.assign(text, len);
  } else {
    std::string fresh(text, len);
    e->text.swap(fresh);
  }
}

void dmremove(ObjEntry* e) {
  if (!e) return;
  ++dm_generation;
  chain_unlink(e);
  ObjEntry*& th = typeheads[static_cast<size_t>(e->type)];
  if (e->tprev) e->tprev->tnext = e->tnext;
  else th = e->tnext;
  if (e->tnext) e->tnext->tprev = e->tprev;
  delete e;
}

void dmzap(int type) {
  if (static_cast<size_t>(type) >= typeheads.size()) return;
  while (ObjEntry* e = typeheads[static_cast<size_t>(type)]) dmremove(e);
}

ObjEntry* dmfirst(int type) {
  return static_cast<size_t>(type) < typeheads.size() ? typeheads[static_cast<size_t>(type)] : nullptr;
}

void dmreset() {
  for (size_t t = 0; t < typeheads.size(); ++t) dmzap(static_cast<int>(t));
  mac = MacroState{};
}

// ---------------------------------------------------------------------------

const std::string* macptr(const char* name) {
  ObjEntry* e = name[0] == '_' ? dmfind_local(name + 1, std::strlen(name + 1), mac.typelmac)
                               : dmfind(name, OBJ_GLOBAL);
  return e ? &e->text : nullptr;
}

int macsave(const char* name, const std::string& text) {
  if (text.empty()) {
    macerase(name);
    return 0;
  }
  return dmstore(name, name[0] == '_' ? mac.typelmac : OBJ_GLOBAL, text.data(), text.size());
}

int macsave0(const char* name) { return dmstore(name, name[0] == '_' ? mac.typelmac : OBJ_GLOBAL, "", 0); }

void macerase(const char* name) {
  ObjEntry* e = name[0] == '_' ? dmfind_local(name + 1, std::strlen(name + 1), mac.typelmac)
                               : dmfind(name, OBJ_GLOBAL);
  dmremove(e);
}

int maclocal(const char* name, size_t len, const char* text, size_t tlen) {
  if (ObjEntry* e = dmfind_local(name, len, mac.typelmac)) {
    // fast path of the loop counters: the entry exists, rewrite it in place
    const size_t need = tlen + 1, alloc = e->text.capacity() + 1;
    if (need <= alloc && need + 128 >= alloc) {
      e->text.assign(text, tlen);
      return 0;
    }
  }
  char nm[MACNAMELEN + 2];
  nm[0] = '_';
  if (len > MACNAMELEN - 1) len = MACNAMELEN - 1;
  std::memcpy(nm + 1, name, len);
  nm[len + 1] = 0;
  return dmstore(nm, mac.typelmac, text, tlen);
}

void maclocal_erase(const char* name) { dmremove(dmfind_local(name, std::strlen(name), mac.typelmac)); }

void macset_global(const std::string& name, const std::string& value) {
  (void)macsave(name.c_str(), value);
}
const std::string* macget_global(const std::string& name) {
  ObjEntry* e = dmfind(name.c_str(), OBJ_GLOBAL);
  return e ? &e->text : nullptr;
}
void macdrop_global(const std::string& name) { dmremove(dmfind(name.c_str(), OBJ_GLOBAL)); }
void macset_local(const std::string& name, const std::string& value) {
  if (value.empty()) maclocal_erase(name.c_str());
  else (void)maclocal(name.data(), name.size(), value.data(), value.size());
}
const std::string* macget_local(const std::string& name) {
  ObjEntry* e = dmfind_local(name.data(), name.size(), mac.typelmac);
  return e ? &e->text : nullptr;
}

int macincr(const char* name, int sign, std::string& res, bool pre) {
  const bool local = name[0] == '_';
  const std::string* t = macptr(name);
  if (!t) {
    int prev = setoutlev(OUT_ERROR);
    if (local) spout21f("local macro `%s' not found\n", name + 1);
    else spout21f("global macro $%s not found\n", name);
    setoutlev(prev);
    return RC_NOTFOUND;
  }
  char buf[40];
  size_t n = t->size() < 39 ? t->size() : 39;
  std::memcpy(buf, t->data(), n);
  buf[n] = 0;
  char* p = buf;
  while (*p == ' ') ++p;
  char* end = p + std::strlen(p);
  while (end > p && end[-1] == ' ') *--end = 0;
  char* stop;
  double v = std::strtod(p, &stop);
  if (!*p || *stop) return error(RC_TYPEMISMATCH);
  std::string nv;
  macfmtnum(v + sign, nv);
  if (!pre) res = *t;
  int rc = macsave(name, nv);
  if (rc) return rc;
  if (pre) res = nv;
  return 0;
}

// Splits text into blank-separated words; a word starting with a simple or
// compound quote runs to its closing quote.
void macwords(const char* p, std::vector<std::string>& words, bool strip) {
  while (true) {
    while (*p == ' ') ++p;
    if (!*p) return;
    const char* s = p;
    int open;
    if (p[0] == '`' && p[1] == '"') {
      const char* q = pcompoundquotes(p, &open);
      if (strip) words.emplace_back(p + 2, open ? q : q - 2);
      else words.emplace_back(p, q);
      p = q;
    } else if (*p == '"') {
      const char* q = psimplequotes(p, &open);
      if (strip) words.emplace_back(p + 1, open ? q : q - 1);
      else words.emplace_back(p, q);
      p = q;
    } else {
      while (*p && *p != ' ') ++p;
      words.emplace_back(s, p);
    }
  }
}

void locals_enter(const char* args) {
  ++mac.typelmac;
  dmzap(mac.typelmac);
  if (!args) args = "";
  while (*args == ' ') ++args;
  size_t n = std::strlen(args);
  if (n) (void)maclocal("0", 1, args, n);
  std::vector<std::string> w;
  macwords(args, w, true);
  char nm[16];
  for (size_t i = 0; i < w.size(); ++i) {
    int k = std::snprintf(nm, sizeof nm, "%zu", i + 1);
    if (!w[i].empty()) (void)maclocal(nm, static_cast<size_t>(k), w[i].data(), w[i].size());
  }
}

void locals_leave() {
  dmzap(mac.typelmac);
  if (mac.typelmac > OBJ_LOCAL0) --mac.typelmac;
}

// ---------------------------------------------------------------------------
// %18.0g, the format of numbers stored into macros.

namespace {

// Writes the eight decimal digits of w < 1e8, leading zeros included,
// to end at e; returns e. Two halves of two pairs each, so that the
// divisions do not wait on one another.
char* digits8(uint32_t w, char* e) {
  static constexpr char pairs[] =
      "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
      "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";
  const uint32_t hi = w / 10000, lo = w % 10000;
  std::memcpy(e - 8, pairs + 2 * (hi / 100), 2);
  std::memcpy(e - 6, pairs + 2 * (hi % 100), 2);
  std::memcpy(e - 4, pairs + 2 * (lo / 100), 2);
  std::memcpy(e - 2, pairs + 2 * (lo % 100), 2);
  return e;
}

// The first digit that is not a leading zero of the digits from p to e
// (the last digit stays).
char* lead(char* p, char* e) {
  while (p < e - 1 && *p == '0') ++p;
  return p;
}

// res is empty.
void missingtext(double x, std::string& res) {
  const int k = missing_code(x);
  res.push_back('.');
  if (k >= 1 && k <= 26) res.push_back(static_cast<char>('a' + k - 1));
  else if (k != 0) res.push_back('?');
}

}  // namespace

void macfmtnum(double x, std::string& res) {
  if (x >= misval || x == 0) {
    res.clear();
    if (x != 0) return missingtext(x, res);
    res.push_back('0');
    return;
  }
  char buf[48];
  // integers below 1e16 have at most 16 digits, which %18.0g always shows whole
  // (the conversion test is exact there, and cheaper than a call to trunc)
  if (std::fabs(x) < 1e16 && static_cast<double>(static_cast<long long>(x)) == x) {
    const long long v = static_cast<long long>(x);
    uint64_t u = v < 0 ? 0ull - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    char* e = buf + sizeof buf;
    char* p;
    if (u >= 100000000) {
      digits8(static_cast<uint32_t>(u % 100000000), e);
      p = lead(e - 16, digits8(static_cast<uint32_t>(u / 100000000), e - 8));
    } else {
      p = lead(e - 8, digits8(static_cast<uint32_t>(u), e));
    }
    if (v < 0) *--p = '-';
    // a counter mostly keeps its number of digits: overwrite them in place
    const size_t n = static_cast<size_t>(e - p);
    if (res.size() == n) {
      char* d = res.data();
      for (size_t i = 0; i < n; ++i) d[i] = p[i];
    } else {
      res.assign(p, n);
    }
    return;
  }
  // everything else through the display-format renderer, blanks trimmed
  res.clear();
  sreforms_app("%18.0g", x, res);
  size_t f = res.find_first_not_of(' ');
  if (f == std::string::npos) res.clear();
  else if (f) res.erase(0, f);
  while (!res.empty() && res.back() == ' ') res.pop_back();
}
