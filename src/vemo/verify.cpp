// The stack check of Vemo code (see verify.h). The VM trusts its code: a slot
// operand is an index above the frame's base with no bounds check, a pop
// takes whatever lies below, and the fused opcodes read their slots before
// the pushes they stand for. So code from a file is followed here first.
//
// The depth at each instruction is the number of values above the frame's
// base. A frame starts with its arguments, so the depth depends on how many
// were passed; the code reacts to that count only at opnarg, oparg2 (which
// stop the other counts) and the optional-argument locals (made only when
// the argument is missing). Between two of those thresholds every count
// takes the same paths with the same depths plus a constant, and the
// smallest count is the hardest for every check (slots exist, pops stay in
// the frame, joins agree whatever the constant), so the code is followed
// once for each threshold and for no argument at all.
#include "vemo/verify.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "vemo/vm.h"

namespace {

constexpr VmEffect effects[] = {
#define VOP(name, code, lay, pops, pushes) {pops, pushes},
#include "vemo/opcodes.def"
#undef VOP
};
constexpr int codes[] = {
#define VOP(name, code, lay, pops, pushes) code,
#include "vemo/opcodes.def"
#undef VOP
};
static_assert(std::size(effects) == VM_NOPS, "every opcode needs its stack effect");
constexpr bool inorder() {
  for (int i = 0; i < VM_NOPS; ++i)
    if (codes[i] != i) return false;
  return true;
}
static_assert(inorder(), "opcodes.def lists the opcodes in order");

// Words of code times argument counts to follow: far above anything the
// compiler makes (150,000 words with 100 optional arguments is 15M), low
// enough that a hostile file is refused at once.
constexpr long BUDGET = 1L << 26;

bool isolc(int op) { return (op >= opolc_rm && op <= opolc_ps) || (op >= opolc_stcm && op <= opolc_stcc); }

// The word holding an instruction's string operand (its word count), or -1.
int strat(int op, int pc) {
  switch (vm_oplayout[op]) {
    case L_S: return pc + 1;
    case L_WS: return pc + 2;
    case L_WWWS: return pc + 4;
    default: return -1;
  }
}

struct Checker {
  const int32_t* w;
  int n;
  int pools = 0;              // first word after the instructions
  std::vector<char> start;    // instruction starts
  std::vector<int32_t> quick; // the VM's fused copy
  VoVerify res;
  int nargs = 0;              // the argument count being followed
  std::vector<int> depth;     // per word: depth on entry, -1 not reached
  std::vector<int> work;

  bool fail(int pc, const std::string& why) {
    res.ok = false;
    res.pc = pc;
    res.why = why;
    return false;
  }
  bool failn(int pc, const std::string& why) {
    return fail(pc, why + " when called with " + std::to_string(nargs) + " argument" + (nargs == 1 ? "" : "s"));
  }

  // Walks the instructions to the pools; every string operand must end
  // within its words (the VM reads names as C strings).
  bool decode() {
    start.assign(static_cast<size_t>(n), 0);
    int pc = 2;
    while (pc < n && w[pc] != opnumpool && w[pc] != opstrpool) {
      const int len = vm_oplen(w, pc, n);
      if (!len) return fail(pc, "instruction " + std::to_string(w[pc]) + " invalid or cut short");
      const int at = strat(w[pc], pc);
      if (at >= 0 && !std::memchr(w + at + 1, 0, 4 * static_cast<size_t>(w[at])))
        return fail(pc, "string operand not terminated");
      start[static_cast<size_t>(pc)] = 1;
      pc += len;
    }
    pools = pc;
    return true;
  }

  // The argument counts worth following: none, and the first count on each
  // side of every threshold.
  std::vector<int> counts() const {
    std::vector<int> v{0};
    auto add = [&](long k) {
      if (k >= 0 && k <= VM_STACK) v.push_back(static_cast<int>(k));
    };
    for (int pc = 2; pc < pools; pc += vm_oplen(w, pc, n)) {
      const int op = w[pc];
      if (op == opnarg) {
        add(w[pc + 1]);
        add(w[pc + 1] + 1L);
      } else if (op == oparg2) {
        add(w[pc + 1]);
        add(w[pc + 2] + 1L);
      } else if (isolc(op)) {
        add(w[pc + 1]);
      }
    }
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
  }

  bool reach(int from, int to, int d) {
    if (to >= pools && to == from + vm_oplen(w, from, n)) return fail(from, "runs off the end of the code");
    if (to < 2 || to >= pools || !start[static_cast<size_t>(to)])
      return fail(from, "branch to word " + std::to_string(to) + ", not an instruction");
    int& have = depth[static_cast<size_t>(to)];
    if (have < 0) {
      have = d;
      work.push_back(to);
    } else if (have != d) {
      return failn(to, "paths meet with stack depths " + std::to_string(have) + " and " + std::to_string(d));
    }
    return true;
  }

  bool slotok(int pc, int k, int avail) {
    if (k >= 0 && k < avail) return true;
    return failn(pc, "reads slot " + std::to_string(k) + " with only " + std::to_string(avail) + " below its operands");
  }

  // The slots a fused opcode of the VM's copy reads before the pushes it
  // stands for: all must exist at the depth of its first instruction.
  bool fusedok(int pc, int d) {
    switch (vm_fusedform(quick[static_cast<size_t>(pc)])) {
      case VM_QPPCMPBR: return slotok(pc, w[pc + 1], d) && slotok(pc, w[pc + 3], d);
      case VM_QPPARITHA:
        return slotok(pc, w[pc + 1], d) && slotok(pc, w[pc + 3], d) && slotok(pc, w[pc + 6], d);
      case VM_QPLARITHA: return slotok(pc, w[pc + 1], d) && slotok(pc, w[pc + 6], d);
      case VM_QPKARITHA: return slotok(pc, w[pc + 1], d) && slotok(pc, w[pc + 5], d);
      case VM_QPLCMPBR:
      case VM_QPKCMPBR:
      case VM_QINCGOTO: return slotok(pc, w[pc + 1], d);
      default: return true;
    }
  }

  bool step(int pc, int d) {
    const int op = w[pc];
    const int len = vm_oplen(w, pc, n);
    const VmEffect& e = effects[op];
    if (e.pops == VE_NORUN) return fail(pc, std::string(vm_opname[op]) + " cannot run");
    long pops = e.pops, pushes = e.pushes;
    if (op == opcall || op == opbiltin || op == opcallind) {
      const long na = op == opcallind ? w[pc + 1] : w[pc + 2];
      if (na < 0) return fail(pc, "negative argument count");
      pops = op == opcallind ? na + 1 : na;
    }
    if (isolc(op)) pushes = nargs < w[pc + 1] ? 1 : 0;
    if (pops > d)
      return failn(pc, "pops " + std::to_string(pops) + (pops == 1 ? " value" : " values") + " from a stack of " +
                           std::to_string(d));
    if (vm_slotop(op) && !slotok(pc, w[pc + 1], d - static_cast<int>(pops))) return false;
    if (!fusedok(pc, d)) return false;
    const long nd = d - pops + pushes;
    if (nd > VM_STACK) return failn(pc, "stack grows past " + std::to_string(VM_STACK));
    res.maxdepth = std::max(res.maxdepth, static_cast<int>(nd));
    const int next = pc + len;
    switch (op) {
      case opgoto: return reach(pc, w[pc + 1], static_cast<int>(nd));
      case opbrfalse:
      case optst0: return reach(pc, next, static_cast<int>(nd)) && reach(pc, w[pc + 1], static_cast<int>(nd));
      case opreturn:
      case opstop: return true;
      case opnarg:
        if (nargs != w[pc + 1]) return true;
        break;
      case oparg2:
        if (nargs < w[pc + 1] || nargs > w[pc + 2]) return true;
        break;
      default: break;
    }
    return reach(pc, next, static_cast<int>(nd));
  }

  bool follow(int count) {
    nargs = count;
    depth.assign(static_cast<size_t>(pools), -1);
    work.clear();
    if (pools <= 2) return fail(2, "no instructions");
    depth[2] = count;
    work.push_back(2);
    res.maxdepth = std::max(res.maxdepth, count);
    while (!work.empty()) {
      const int pc = work.back();
      work.pop_back();
      if (!step(pc, depth[static_cast<size_t>(pc)])) return false;
    }
    return true;
  }
};

}  // namespace

const VmEffect& vm_opeffect(int op) { return effects[op]; }

bool vm_slotop(int op) {
  switch (op) {
    case oppush: case opassign: case opassignp: case opinc: case opdec: case oprstosmat: case oprstosmatp:
    case oplstosmat1: case oplstosmat1p: case oplstosmat2: case oplstosmat2p: case opcall: case opldmatd:
    case opldmatdd:
      return true;
    default:
      return false;
  }
}

VoVerify vo_verify(const std::vector<int32_t>& code) {
  Checker c;
  c.w = code.data();
  c.n = static_cast<int>(code.size());
  if (c.n < 3) {
    c.fail(0, "too short");
    return c.res;
  }
  // a structure definition is data: calling it makes instances
  if (code[2] == opstructdef) {
    c.res.ok = true;
    return c.res;
  }
  if (!c.decode()) return c.res;
  Fcn tmp;
  tmp.code = code;
  vm_quicken(&tmp, false);
  c.quick = std::move(tmp.quick);
  const std::vector<int> counts = c.counts();
  // each pass clears a depth per word of code
  if (static_cast<long>(c.pools) * static_cast<long>(counts.size()) > BUDGET) {
    c.fail(2, "too many argument counts to check");
    return c.res;
  }
  for (int k : counts)
    if (!c.follow(k)) return c.res;
  c.res.ok = true;
  return c.res;
}

void vo_checkcompiled(const std::vector<int32_t>& code, const std::string& name) {
#ifdef NDEBUG
  static const bool on = std::getenv("ZELTA_VEMO_VERIFY") != nullptr;
#else
  static const bool on = true;
#endif
  if (!on) return;
  const VoVerify v = vo_verify(code);
  if (v.ok) return;
  Fcn tmp;
  tmp.code = code;
  std::fprintf(stderr, "Vemo compiler fault: the code of %s fails the stack check: %s at word %d\n%s", name.c_str(),
               v.why.c_str(), v.pc, vm_disasm(&tmp).c_str());
  std::abort();
}
