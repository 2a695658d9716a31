// Line plans of stored programs: each line is split once into literal text
// and plain references; running it again joins the pieces with the current
// values. The split follows the expander's own reading of a line (macexp.cpp)
// for the few forms it accepts and gives every other form to the expander.
#include "interp/lineplan.h"

#include <cstring>

#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"

namespace {

inline bool namech(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
inline bool namestart(char c) { return namech(c) && !(c >= '0' && c <= '9'); }

// Bytes that start a reference or an escape: a value holding one is
// expanded again by the expander, which the join does not do.
inline bool rescanned(const std::string& v) {
  for (char c : v)
    if (c == '`' || c == '$' || c == '\\') return true;
  return false;
}

void addlit(LinePlanSet& set, LinePlan& lp, uint32_t from, uint32_t to) {
  if (to <= from) return;
  if (lp.count && set.pieces.back().reflen == 0 && set.pieces.back().off + set.pieces.back().len == from) {
    set.pieces.back().len += to - from;
    return;
  }
  PlanPiece pc;
  pc.off = from;
  pc.len = to - from;
  set.pieces.push_back(pc);
  ++lp.count;
}

void addref(LinePlanSet& set, LinePlan& lp, uint32_t name, uint32_t len, uint32_t reflen, bool global) {
  PlanPiece pc;
  pc.off = name;
  pc.len = len;
  pc.reflen = reflen;
  pc.global = global;
  set.pieces.push_back(pc);
  ++lp.count;
}

// Splits line s (byte 0 its indentation, read as a blank) into lp.
void build(LinePlanSet& set, LinePlan& lp, const char* s) {
  lp.built = true;
  lp.first = static_cast<uint32_t>(set.pieces.size());
  lp.count = 0;
  const char* p = s + 1;
  while (*p == ' ') ++p;
  if (!*p || *p == '*') {
    lp.kind = PlanKind::SKIP;
    return;
  }
  if (*p == '}') {
    const char* q = p + 1;
    while (*q == ' ') ++q;
    if (!*q) {
      lp.kind = PlanKind::CLOSE;
      return;
    }
  }
  lp.kind = PlanKind::GENERIC;
  const size_t n = 1 + std::strlen(s + 1);
  uint32_t lit = 1;  // start of the literal text not yet added
  bool anyref = false;
  for (uint32_t i = 1; i < n;) {
    const char c = s[i];
    if (c == '\\') {
      set.pieces.resize(lp.first);
      lp.count = 0;
      return;
    }
    if (c == '`') {
      if (s[i + 1] == '"') {  // a compound quote opens: text
        i += 2;
        continue;
      }
      uint32_t j = i + 1;
      while (namech(s[j])) ++j;
      // only `name' with a name the store can hold; everything else
      // (`=exp', `:fn', `r()', `*', `x++', nesting, no closing quote) is
      // the expander's
      if (s[j] != '\'' || j == i + 1 || j - i - 1 > MACNAMELEN - 1) {
        set.pieces.resize(lp.first);
        lp.count = 0;
        return;
      }
      addlit(set, lp, lit, i);
      addref(set, lp, i + 1, j - i - 1, j + 1 - i, false);
      anyref = true;
      i = j + 1;
      lit = i;
      continue;
    }
    if (c == '$') {
      if (s[i + 1] == '{') {
        set.pieces.resize(lp.first);
        lp.count = 0;
        return;
      }
      if (!namestart(s[i + 1])) {  // a dollar that starts no name is text
        ++i;
        continue;
      }
      uint32_t j = i + 1;
      while (namech(s[j])) ++j;
      const uint32_t len = j - i - 1;
      // long names are cut by the expander; the date and time are made there
      if (len >= MACNAMELEN || (len == 6 && (!std::strncmp(s + i + 1, "S_DATE", 6) ||
                                             !std::strncmp(s + i + 1, "S_TIME", 6)))) {
        set.pieces.resize(lp.first);
        lp.count = 0;
        return;
      }
      addlit(set, lp, lit, i);
      addref(set, lp, i + 1, len, j - i, true);
      anyref = true;
      i = j;
      lit = i;
      continue;
    }
    ++i;
  }
  if (!anyref) {
    set.pieces.resize(lp.first);
    lp.count = 0;
    lp.kind = PlanKind::PLAIN;
    return;
  }
  addlit(set, lp, lit, static_cast<uint32_t>(n));
  lp.kind = PlanKind::SPLIT;
}

// Marks `word name = exp` lines whose word and name hold no reference.
void findassign(const LinePlanSet& set, LinePlan& lp, const char* s) {
  if (lp.kind != PlanKind::PLAIN && lp.kind != PlanKind::SPLIT) return;
  const char* p = s + 1;
  while (*p == ' ') ++p;
  const char* w = p;
  while ((*p >= 'a' && *p <= 'z') || *p == '_') ++p;
  if (p == w || *p != ' ') return;
  const char* wend = p;
  while (*p == ' ') ++p;
  const char* nm = p;
  while (namech(*p)) ++p;
  if (p == nm || p - nm > MACNAMELEN - 1) return;
  const char* nend = p;
  while (*p == ' ') ++p;
  if (*p != '=') return;
  // everything up to here is literal text: the first reference comes later
  if (p - s > 60000) return;
  for (uint32_t k = 0; k < lp.count; ++k) {
    const PlanPiece& pc = set.pieces[lp.first + k];
    if (pc.reflen) {
      if (s + pc.off - 1 <= p) return;  // the quote or dollar that starts it
      break;
    }
  }
  lp.assign = true;
  lp.wordoff = static_cast<uint16_t>(w - s);
  lp.wordlen = static_cast<uint16_t>(wend - w);
  lp.nameoff = static_cast<uint16_t>(nm - s);
  lp.namelen = static_cast<uint16_t>(nend - nm);
  lp.expoff = static_cast<uint16_t>(p + 1 - s);
}

// The entry a reference names now (nullptr when undefined), from the
// piece's last lookup when nothing it depends on has changed.
ObjEntry* lookup(PlanPiece& pc, const char* s) {
  if (!pc.global) return dmfind_local_cached(pc.look, s + pc.off, pc.len, mac.typelmac);
  DmCache& c = pc.look;
  if (c.gen == dm_generation && c.type == OBJ_GLOBAL) return c.entry;
  char nm[MACNAMELEN + 2];
  std::memcpy(nm, s + pc.off, pc.len);
  nm[pc.len] = 0;
  c.entry = dmfind(nm, OBJ_GLOBAL);
  c.type = OBJ_GLOBAL;
  c.gen = dm_generation;
  return c.entry;
}

// exp -> number-or-reference ('+' | '-' | '*' | '/') number-or-reference,
// blanks around each: marks lp.arith when the assignment's expression has
// this form. A number is read as macevalexp reads it, so it stops at the
// quote or dollar of a reference written right after it, which the grammar
// then refuses; a reference must be followed by blanks, the operator or the
// end, so its value is all that the expander's reading would take as the
// number.
void findarith(const LinePlanSet& set, LinePlan& lp, const char* s) {
  const uint32_t n = static_cast<uint32_t>(1 + std::strlen(s + 1));
  uint32_t pos = lp.expoff;
  auto blanks = [&] {
    while (pos < n && s[pos] == ' ') ++pos;
  };
  auto operand = [&](PlanOperand& o) {
    for (uint32_t k = 0; k < lp.count; ++k) {
      const PlanPiece& pc = set.pieces[lp.first + k];
      if (pc.reflen && pc.off - 1 == pos) {
        o.piece = static_cast<int32_t>(lp.first + k);
        pos += pc.reflen;
        return true;
      }
    }
    const char* p = s + pos;
    if (!macliteral(p, o.num)) return false;
    pos = static_cast<uint32_t>(p - s);
    return true;
  };
  blanks();
  if (!operand(lp.a)) return;
  blanks();
  const char op = s[pos];
  if (op != '+' && op != '-' && op != '*' && op != '/') return;
  ++pos;
  blanks();
  if (!operand(lp.b)) return;
  blanks();
  if (pos != n) return;
  lp.op = op;
  lp.arith = true;
}

}  // namespace

const LinePlan& lineplan_make(Program& p, int idx) {
  LinePlanSet* set = p.plans.get();
  const size_t nl = static_cast<size_t>(p.nlines());
  if (!set || set->textsize != p.text.size() || set->lines.size() != nl) {
    p.plans = std::make_shared<LinePlanSet>();
    set = p.plans.get();
    set->textsize = p.text.size();
    set->lines.resize(nl);
  }
  LinePlan& lp = set->lines[static_cast<size_t>(idx)];
  if (!lp.built) {
    const char* s = p.text.data() + p.offs[static_cast<size_t>(idx)];
    build(*set, lp, s);
    findassign(*set, lp, s);
    if (lp.assign) findarith(*set, lp, s);
  }
  return lp;
}

void planraw(const Program& p, int idx, std::string& out) {
  const size_t at = p.offs[static_cast<size_t>(idx)];
  out.assign(p.text.data() + at, p.offs[static_cast<size_t>(idx) + 1] - at - 1);
  out[0] = ' ';
}

bool planexpand(Program& p, int idx, const LinePlan& lp, std::string& out) {
  const char* s = p.text.data() + p.offs[static_cast<size_t>(idx)];
  if (lp.kind == PlanKind::PLAIN) {
    planraw(p, idx, out);
    mac.expanded = false;
    return true;
  }
  // The expander refuses a replacement that makes the line reach conslen,
  // counting the references not yet replaced at their own length.
  const size_t limit = static_cast<size_t>(interp.conslen);
  size_t len = p.offs[static_cast<size_t>(idx) + 1] - p.offs[static_cast<size_t>(idx)] - 1;
  out.assign(1, ' ');
  PlanPiece* pc = p.plans->pieces.data() + lp.first;
  for (uint32_t k = 0; k < lp.count; ++k, ++pc) {
    if (!pc->reflen) {
      out.append(s + pc->off, pc->len);
      continue;
    }
    const ObjEntry* e = lookup(*pc, s);
    const size_t vn = e ? e->text.size() : 0;
    len = len - pc->reflen + vn;
    if (len >= limit) return false;
    if (!vn) continue;
    if (rescanned(e->text)) return false;
    out.append(e->text);
  }
  mac.expanded = true;
  return true;
}

bool planarith(Program& p, int idx, const LinePlan& lp, double& v) {
  const char* s = p.text.data() + p.offs[static_cast<size_t>(idx)];
  const size_t limit = static_cast<size_t>(interp.conslen);
  size_t len = p.offs[static_cast<size_t>(idx) + 1] - p.offs[static_cast<size_t>(idx)] - 1;
  // A reference's value, blanks trimmed, must be one whole number.
  auto operand = [&](const PlanOperand& o, double& x) {
    if (o.piece < 0) {
      x = o.num;
      return true;
    }
    PlanPiece& pc = p.plans->pieces[static_cast<size_t>(o.piece)];
    const ObjEntry* e = lookup(pc, s);
    if (!e) return false;
    const std::string& t = e->text;
    len = len - pc.reflen + t.size();
    if (len >= limit) return false;
    const char* q = t.c_str();
    const char* end = q + t.size();
    while (*q == ' ') ++q;
    while (end > q && end[-1] == ' ') --end;
    return end > q && macliteral(q, x) && q == end;
  };
  double a, b;
  if (!operand(lp.a, a) || !operand(lp.b, b) || !macbinop(a, lp.op, b, v)) return false;
  mac.expanded = lp.kind == PlanKind::SPLIT;
  return true;
}
