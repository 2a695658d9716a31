// Stored program lines split once into literal text and plain macro
// references, so that a line run again and again (a loop body) is expanded
// by joining its pieces instead of being scanned anew, and a closing brace
// or a comment line is known without reading it. A line whose references
// need the full expander (escapes, nested, extended or incremented
// references, `=exp', saved results, ${...}, $S_DATE) keeps being expanded
// as any other line is.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"


// What a stored line is, as far as running it again is concerned.
enum class PlanKind : uint8_t {
  GENERIC,  // the full expander
  PLAIN,    // no reference at all: expansion leaves it as it is
  SPLIT,    // literal pieces and plain `name' and $name references
  CLOSE,    // `}` alone: the end of a block
  SKIP,     // blank, or a `*` comment
};

// A piece of a SPLIT line: literal text, or a reference by name.
struct PlanPiece {
  uint32_t off = 0, len = 0;  // span in the stored line: the text, or the reference's name
  uint32_t reflen = 0;        // length of the whole reference; 0 for literal text
  bool global = false;
  // The last lookup of the reference (macro.h's DmCache for a global too).
  DmCache look;
};

// An operand of `a op b`: a reference's piece, or a number written in the line.
struct PlanOperand {
  int32_t piece = -1;
  double num = 0;
};

struct LinePlan {
  PlanKind kind = PlanKind::GENERIC;
  bool built = false;
  uint32_t first = 0, count = 0;  // its pieces
  // `word name = exp` with no reference before the `=`: when the word is
  // `local` at the running version, the line is a local defined by an
  // expression, run without the dispatcher. Offsets into the line (the
  // same before and after expansion, since nothing before exp expands).
  bool assign = false;
  uint16_t wordoff = 0, wordlen = 0, nameoff = 0, namelen = 0, expoff = 0;
  mutable int localver = -1;  // the version at which the word was found to be `local`
  // exp is `a op b` of + - * / between numbers and plain references, which
  // macevalexp computes itself: the operands are read without making the
  // line, and the local's entry is remembered.
  bool arith = false;
  char op = 0;
  PlanOperand a, b;
  mutable DmCache target;
};

// The plans of one program's lines, made line by line on first use.
struct LinePlanSet {
  size_t textsize = 0;  // the program text they were made from
  std::vector<LinePlan> lines;
  std::vector<PlanPiece> pieces;
};

// The plan of line idx (0-based, < p.nlines()) of p, made on first use.
const LinePlan& lineplan_make(Program& p, int idx);
inline const LinePlan& lineplan(Program& p, int idx) {
  if (const LinePlanSet* set = p.plans.get(); set && set->textsize == p.text.size()) {
    const LinePlan& lp = set->lines[static_cast<size_t>(idx)];
    if (lp.built) return lp;
  }
  return lineplan_make(p, idx);
}

// The stored line idx as the line source hands it out (its indentation
// byte a blank) into out.
void planraw(const Program& p, int idx, std::string& out);

// Expands the PLAIN or SPLIT line idx of p into out exactly as macexpand
// does the raw line (mac.expanded included). False, with out undefined,
// when a value holds text that the expander would expand again or the line
// would reach the length limit: the caller then expands the raw line.
bool planexpand(Program& p, int idx, const LinePlan& lp, std::string& out);

// Runs line idx of p from its plan as execline runs a line (expansion while
// lines execute, dispatch, globalrc), for the program being run (loop.cpp).
// Returns the line's code.
[[nodiscard]] int execplanned(Program& p, int idx, const LinePlan& lp);
// True when program lines may be run from their plans (a program runs and
// nothing is traced, since the trace shows each line as read).
inline bool planned() { return interp.runprog && !interp.trace; }

// The dispatcher's side of an assignment run from its plan (cmdtab.cpp):
// what selreq does for every line before its handler (0, or 1 when the
// embedded command limit acts as a Break), and whether word dispatches to
// `local` at the running version.
[[nodiscard]] int selreq_enter();
bool cmd_islocal(const char* word, size_t len);
// `local name = exp` for the name and the expression's text (macrocmds.cpp):
// the value stored, or the local removed when it is empty. 0 or a code.
[[nodiscard]] int macdef_localeq(const char* name, size_t len, const char* exp);
// The same for an expression whose value v is known, the local's entry
// looked up through c.
[[nodiscard]] int macdef_localnum(const char* name, size_t len, double v, DmCache& c);
// The value of an arithmetic plan's `a op b` for line idx of p into v; false
// when the line must be expanded and evaluated as written. On success the
// line would have expanded as it does (mac.expanded set).
bool planarith(Program& p, int idx, const LinePlan& lp, double& v);
