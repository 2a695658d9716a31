// Vemo peephole optimizer over the instruction list of one compiled
// function (branch operands are instruction indices): removes push/pop
// pairs and jumps to the next instruction, shortens jump chains, folds pops
// into popping stores, lets a comparison feed its branch directly, reuses a
// pushed value, fuses member loads and drops unreachable code. No rule
// removes an instruction that a branch targets (except a jump whose removal
// sends its jumpers to the same place).
#include <string>
#include <vector>

#include "output/output.h"
#include "output/rc.h"
#include "vemo/cc.h"
#include "vemo/vm.h"

namespace {

bool isbranch(int op) { return op == opgoto || op == optst0 || op == opbrfalse; }
bool isinplace(int op) { return op == opinc || op == opdec; }
bool iscompare(int op) {
  return op == opee || op == opge || op == ople || op == opgt || op == oplt || op == opne;
}
bool isend(int op) { return op == opgoto || op == opreturn || op == opstop; }

struct Opt {
  std::vector<Ins>& c;
  std::vector<char> tgt;  // targeted by a branch (a superset while a pass runs)

  explicit Opt(std::vector<Ins>& code) : c(code) {}
  int size() const { return static_cast<int>(c.size()); }
  // First live instruction at or after i (size() when none).
  int live(int i) const {
    while (i < size() && c[static_cast<size_t>(i)].dead) ++i;
    return i;
  }
  int next(int i) const { return live(i + 1); }
  Ins& at(int i) { return c[static_cast<size_t>(i)]; }
  int target(int i) { return live(at(i).a[0]); }
  void marktargets() {
    tgt.assign(c.size() + 1, 0);
    for (const Ins& in : c)
      if (!in.dead && in.fix == FIX_BRANCH) tgt[static_cast<size_t>(live(in.a[0]))] = 1;
  }
  bool targeted(int i) const { return tgt[static_cast<size_t>(i)] != 0; }
  void kill(int i) {
    at(i).dead = true;
    if (targeted(i)) tgt[static_cast<size_t>(next(i))] = 1;
  }
};

// Rule 8 on a compacted list: a jump to a block that only it reaches, that
// follows an unconditional transfer and ends with one, is replaced by the
// block. The entry jump to the prologue is left alone. True when a block moved.
bool moveblock(std::vector<Ins>& code) {
  const int n = static_cast<int>(code.size());
  std::vector<int> refs(static_cast<size_t>(n) + 1, 0);
  for (const Ins& in : code)
    if (in.fix == FIX_BRANCH) ++refs[static_cast<size_t>(in.a[0])];
  for (int i = 1; i < n; ++i) {
    if (code[static_cast<size_t>(i)].op != opgoto) continue;
    const int t = code[static_cast<size_t>(i)].a[0];
    if (t <= 0 || t >= n || refs[static_cast<size_t>(t)] != 1 || !isend(code[static_cast<size_t>(t - 1)].op))
      continue;
    int e = t;
    while (e < n && !isend(code[static_cast<size_t>(e)].op)) ++e;
    if (e >= n) {
      int prev = setoutlev(OUT_ERROR);
      spout21("optimize:  unterminated block not optimized\n");
      setoutlev(prev);
      continue;
    }
    if (i >= t && i <= e) continue;
    std::vector<int> order;
    auto add = [&](int a, int b) {
      for (int k = a; k < b; ++k) order.push_back(k);
    };
    if (i < t) {
      add(0, i);
      add(t, e + 1);
      add(i + 1, t);
      add(e + 1, n);
    } else {
      add(0, t);
      add(e + 1, i);
      add(t, e + 1);
      add(i + 1, n);
    }
    std::vector<int> map(static_cast<size_t>(n) + 1, 0);
    for (size_t k = 0; k < order.size(); ++k) map[static_cast<size_t>(order[k])] = static_cast<int>(k);
    map[static_cast<size_t>(i)] = map[static_cast<size_t>(t)];
    map[static_cast<size_t>(n)] = static_cast<int>(order.size());
    std::vector<Ins> moved;
    moved.reserve(order.size());
    for (int k : order) moved.push_back(std::move(code[static_cast<size_t>(k)]));
    for (Ins& in : moved)
      if (in.fix == FIX_BRANCH) in.a[0] = map[static_cast<size_t>(in.a[0])];
    code = std::move(moved);
    return true;
  }
  return false;
}

// Rules 1 to 7 until none applies, then the list is compacted.
int peephole(std::vector<Ins>& code);

}  // namespace

int cc_optimize(std::vector<Ins>& code) {
  if (int rc = peephole(code)) return rc;
  for (int moves = 0; moves < 10000 && moveblock(code); ++moves)
    if (int rc = peephole(code)) return rc;
  return 0;
}

namespace {

int peephole(std::vector<Ins>& code) {
  Opt o(code);
  o.marktargets();
  // first pass: opassign x; oppop; oppush x  ->  opassign x
  for (int i = o.live(0); i < o.size(); i = o.next(i)) {
    int j = o.next(i), k = j < o.size() ? o.next(j) : o.size();
    if (k >= o.size()) break;
    if (o.at(i).op == opassign && o.at(j).op == oppop && o.at(k).op == oppush &&
        o.at(k).a[0] == o.at(i).a[0] && !o.targeted(j) && !o.targeted(k)) {
      o.kill(j);
      o.kill(k);
    }
  }
  bool changed = true;
  while (changed) {
    changed = false;
    o.marktargets();
    for (int i = o.live(0); i < o.size(); i = o.next(i)) {
      Ins& in = o.at(i);
      const int j = o.next(i);
      // 1. push x, in-place increments only, pop: drop the push and the pop
      if (in.op == oppush) {
        int k = j;
        while (k < o.size() && isinplace(o.at(k).op) && !o.targeted(k)) k = o.next(k);
        if (k < o.size() && o.at(k).op == oppop && !o.targeted(k) && (k == j || !o.targeted(j))) {
          o.kill(i);
          o.kill(k);
          changed = true;
          continue;
        }
      }
      // 2. jumps: to the next instruction, to a jump, to a return
      if (in.op == opgoto && o.target(i) == j) {
        o.kill(i);
        changed = true;
        continue;
      }
      if (isbranch(in.op)) {
        int hops = 0;
        while (o.target(i) < o.size() && o.at(o.target(i)).op == opgoto && o.target(o.target(i)) != o.target(i)) {
          int t = o.target(o.target(i));
          if (t == o.target(i)) break;
          in.a[0] = t;
          o.tgt[static_cast<size_t>(t)] = 1;
          changed = true;
          if (++hops >= 10000) {
            int prev = setoutlev(OUT_ERROR);
            spout21("optimizer:  too many recursive goto's\n");
            spout21("            (program probably contains endless loop)\n");
            setoutlev(prev);
            return RC_VEMO_COMPILE;
          }
        }
        if (in.op == opgoto && o.target(i) < o.size() && o.at(o.target(i)).op == opreturn) {
          in.op = opreturn;
          in.fix = FIX_NONE;
          in.a[0] = 0;
          changed = true;
          continue;
        }
      }
      // 3. a pop after a store becomes the store's popping form
      if (in.op == opassign || in.op == oplstosmat2 || in.op == oplstosmat1 || in.op == oprstosmat) {
        int k = j;
        while (k < o.size() && isinplace(o.at(k).op) && !o.targeted(k)) k = o.next(k);
        if (k < o.size() && o.at(k).op == oppop && !o.targeted(k)) {
          o.kill(k);
          in.op = in.op == opassign      ? opassignp
                  : in.op == oplstosmat2 ? oplstosmat2p
                  : in.op == oplstosmat1 ? oplstosmat1p
                                         : oprstosmatp;
          changed = true;
          continue;
        }
      }
      // 4. a test right after a comparison uses its flag
      if (iscompare(in.op) && j < o.size() && o.at(j).op == optst0 && !o.targeted(j)) {
        o.at(j).op = opbrfalse;
        changed = true;
        continue;
      }
      // 5. push x; push x  ->  push x; dup
      if (in.op == oppush && j < o.size() && o.at(j).op == oppush && o.at(j).a[0] == in.a[0] &&
          !o.targeted(j)) {
        o.at(j).op = opdup;
        o.at(j).a[0] = 0;
        changed = true;
        continue;
      }
      // 6. push x; drill a [; drill b]  ->  opldmatd x a / opldmatdd x a b
      if (in.op == oppush && j < o.size() && o.at(j).op == opdrill && !o.targeted(j)) {
        int k = o.next(j);
        if (k < o.size() && o.at(k).op == opdrill && !o.targeted(k)) {
          in.op = opldmatdd;
          in.a[1] = o.at(j).a[0];
          in.a[2] = o.at(k).a[0];
          o.kill(j);
          o.kill(k);
        } else {
          in.op = opldmatd;
          in.a[1] = o.at(j).a[0];
          o.kill(j);
        }
        changed = true;
        continue;
      }
      // 7. unreachable code after an unconditional transfer
      if (isend(in.op)) {
        for (int k = j; k < o.size() && !o.targeted(k); k = o.next(k)) {
          o.kill(k);
          changed = true;
        }
      }
    }
  }
  // compact, mapping branch operands to the new indices
  std::vector<int> newidx(code.size() + 1, 0);
  int n = 0;
  for (size_t i = 0; i < code.size(); ++i) {
    newidx[i] = n;
    if (!code[i].dead) ++n;
  }
  newidx[code.size()] = n;
  std::vector<Ins> kept;
  kept.reserve(static_cast<size_t>(n));
  for (Ins& in : code) {
    if (in.dead) continue;
    if (in.fix == FIX_BRANCH) in.a[0] = newidx[static_cast<size_t>(o.live(in.a[0]))];
    kept.push_back(std::move(in));
  }
  code = std::move(kept);
  return 0;
}

}  // namespace

std::string cc_dump(const std::vector<Ins>& code) {
  std::string s;
  auto word = [&s](long w) { (s += ' ') += std::to_string(w); };
  for (size_t i = 0; i < code.size(); ++i) {
    const Ins& in = code[i];
    s += std::to_string(i) + " " + vm_opname[in.op];
    switch (vm_oplayout[in.op]) {
      case L_W: word(in.a[0]); break;
      case L_WW: word(in.a[0]), word(in.a[1]); break;
      case L_WWW: word(in.a[0]), word(in.a[1]), word(in.a[2]); break;
      case L_S: s += " " + in.s; break;
      case L_WS: word(in.a[0]), s += " " + in.s; break;
      case L_WWWS: s += " " + in.s; break;
      default: break;
    }
    s += "\n";
  }
  return s;
}
