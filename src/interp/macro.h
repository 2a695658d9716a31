// Macros: the named-object store (global macros, local macros by level,
// programs), macro expansion of command lines, extended macro functions.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Expands every macro reference in `line` in place. 0 or a return code.
[[nodiscard]] int macexpand(std::string& line);
// Global macros.
void macset_global(const std::string& name, const std::string& value);
const std::string* macget_global(const std::string& name);
void macdrop_global(const std::string& name);
// Local macros of the current level.
void macset_local(const std::string& name, const std::string& value);
const std::string* macget_local(const std::string& name);
// Opens a new local-macro level with `args` stored as local 0 and its words
// as 1, 2, ... (quotes respected and stripped); locals_leave closes it.
void locals_enter(const char* args);
void locals_leave();
// Saved bookkeeping of temporaries (variables, names, files) made at a level.
struct TempMark {
  long tmpvctr = 0;
  size_t nnames = 0;
  size_t nfiles = 0;
};
void temps_enter(TempMark& mark);
void temps_leave(const TempMark& mark);
// Removes every temporary file made and restarts the name counters (reset-all).
void temp_reset();

// ---------------------------------------------------------------------------
// The named-object store. Entries are keyed by name and type together.

// Entry types: globals 2, programs 7, plug-ins 31; locals use the level's
// type, OBJ_LOCAL0 for the console and one more for each do-file or program.
enum : int { OBJ_GLOBAL = 2, OBJ_PROGRAM = 7, OBJ_PLUGIN = 31, OBJ_LOCAL0 = 64 };
constexpr int DMBUCKETS = 20009;   // hash buckets
constexpr int MACNAMELEN = 32;     // longest stored name (locals count their `_`)

struct Program;
struct ObjEntry {
  ObjEntry* hnext = nullptr;  // hash chain
  ObjEntry* hprev = nullptr;
  ObjEntry* tnext = nullptr;  // entries of the same type, newest first
  ObjEntry* tprev = nullptr;
  uint32_t hash = 0;          // full hash of the stored name
  int type = 0;
  unsigned char hits = 0;     // lookups since the last move to the chain front
  char name[MACNAMELEN + 2] = {0};  // stored name (locals with their `_`)
  std::string text;           // a macro's text
  std::shared_ptr<Program> prog;  // a program's body (types 7 and 31)
};

// Counts the entries made and removed: a lookup remembered at one count
// still holds at the same count (line plans keep theirs this way).
extern uint64_t dm_generation;
// A remembered lookup of one name, good while dm_generation and the type
// stand (type -1: nothing remembered yet).
struct DmCache {
  ObjEntry* entry = nullptr;
  int type = -1;
  uint64_t gen = 0;
};
// Finds the local `name` of level `type` as dmfind_local, through c.
ObjEntry* dmfind_local_cached(DmCache& c, const char* name, size_t len, int type);
// Finds the entry of `name` and `type`; counts the hit. nullptr when none.
ObjEntry* dmfind(const char* name, int type);
// Finds the local `name` (stored as `_name`) of level `type`.
ObjEntry* dmfind_local(const char* name, size_t len, int type);
// Stores text under name/type, reusing the block within the slack. 0 or 950.
[[nodiscard]] int dmstore(const char* name, int type, const char* text, size_t len);
// Sets an entry's text as dmstore does.
void dmsettext(ObjEntry* e, const char* text, size_t len);
// Makes (or finds) the entry of name/type without touching its data.
ObjEntry* dmmake(const char* name, int type);
void dmremove(ObjEntry* e);
// Removes every entry of one type.
void dmzap(int type);
// First entry of a type (then follow tnext); newest first.
ObjEntry* dmfirst(int type);
// Empties the whole store (tests).
void dmreset();

// ---------------------------------------------------------------------------
// Macro state and the operations on macros by name.

struct MacroState {
  int typelmac = OBJ_LOCAL0;  // type of the current level's locals
  bool expanded = false;      // the last macexpand replaced something
  int nexp = 0;               // repeated expansions at one place (limit 20)
  // The innermost foreach list, for `ferest()': its text and read position.
  const std::string* felist = nullptr;
  size_t fepos = 0;
  size_t lastvn = 0;  // length of the most recent replacement text
  // Set once a reference runs to the end of the text without its closing
  // quote or brace. Everything after it has then been scanned already, so
  // every enclosing scan stops too; without this, a run of n opening quotes
  // would be rescanned 2^n times.
  bool tailopen = false;
};
extern MacroState mac;

// A name beginning with `_` is a local of the current level, any other a
// global. Returns the text or nullptr.
const std::string* macptr(const char* name);
// Stores text (empty text stores nothing, i.e. removes). 0 or 950.
[[nodiscard]] int macsave(const char* name, const std::string& text);
[[nodiscard]] int macsave0(const char* name);
void macerase(const char* name);
// Increments (sign +1) or decrements (-1) a local (`_name`) or global; `pre`
// selects the value substituted into out. 0, 111 or 109.
[[nodiscard]] int macincr(const char* name, int sign, std::string& res, bool pre);
// Sets the local `name` of the current level (no `_`).
[[nodiscard]] int maclocal(const char* name, size_t len, const char* text, size_t tlen);
void maclocal_erase(const char* name);

// Writes a number as the %18.0g format does, blanks trimmed.
void macfmtnum(double x, std::string& res);
// Splits text into words (simple and compound quotes respected); each word is
// appended without its outer quotes when `strip`.
void macwords(const char* text, std::vector<std::string>& words, bool strip);
// The characteristic owner[name] (owner "_dta" or a variable, abbreviations
// allowed); with an empty name the list of the owner's characteristic names.
void macchar(const char* owner, const char* name, std::string& res);
// Evaluates an extended macro function (text after the `:`). 0 or rc.
[[nodiscard]] int macextended(const char* text, std::string& res);
// Evaluates `=exp` text into res as a macro value. 0 or rc.
[[nodiscard]] int macevalexp(const char* text, std::string& res);
// The arithmetic macevalexp does itself: a plain decimal literal at p (sign,
// digits, point, exponent; p moves past it), and a op b for + - * / of two
// such numbers. False where the expression compiler must decide (no literal;
// a missing operand, a zero divisor, a result out of range).
bool macliteral(const char*& p, double& v);
bool macbinop(double a, char op, double b, double& v);

// What the extended macro functions ask of the layers above: the functions
// whose values live in other subsystems (matrix stripes, saved-result names,
// set, log, regex*, _length, tsnorm, serset, constraint, all), which the
// results store installs when it binds its commands; 0 or a code, or -1 when
// fn is not one of them. A unit test checks it is set after start-up.
struct MacroHost {
  int (*stores)(const std::string& fn, const char* rest, std::string& res) = nullptr;
};
extern MacroHost machost;

// A new temporary name / temporary file name, dropped when the level ends.
std::string tmpname_next();
std::string tmpfile_next();

