// Placeholder macro and program layer so the rest links; replaced by the
// real macro store, program store and control flow.
#include <map>
#include <vector>

#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "output/output.h"

static std::map<std::string, std::string> globals;
static std::vector<std::map<std::string, std::string>> locals(1);

int macexpand(std::string&) { return 0; }
void macset_global(const std::string& n, const std::string& v) { globals[n] = v; }
const std::string* macget_global(const std::string& n) {
  auto it = globals.find(n);
  return it == globals.end() ? nullptr : &it->second;
}
void macdrop_global(const std::string& n) { globals.erase(n); }
void macset_local(const std::string& n, const std::string& v) { locals.back()[n] = v; }
const std::string* macget_local(const std::string& n) {
  auto it = locals.back().find(n);
  return it == locals.back().end() ? nullptr : &it->second;
}
void locals_enter(const char* args) {
  locals.emplace_back();
  locals.back()["0"] = args ? args : "";
}
void locals_leave() {
  if (locals.size() > 1) locals.pop_back();
}
void temps_enter(TempMark&) {}
void temps_leave(const TempMark&) {}

int prog_dispatch(const std::string& cmd) {
  int prev = setoutlev(OUT_ERROR);
  spout21f("unrecognized command:  %s\n", cmd.c_str());
  setoutlev(prev);
  return 199;
}
void lang_bindcommands() {}
