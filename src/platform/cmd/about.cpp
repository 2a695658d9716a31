// `about`: the release, how this executable was built and the libraries it
// runs with; `query build` shows the same rows among the other settings.
#include "platform/about.h"

#include <string>

#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/results.h"

namespace {

// The text of a string or number c() value, "" when there is none.
std::string cvalue(const char* name) {
  double d = 0;
  std::string s;
  bool isstr = false;
  if (creturn_value(name, &d, &s, &isstr)) return "";
  if (isstr) return s;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", d);
  return buf;
}

// One row in the layout of `query`.
void row(const std::string& name, const std::string& value) {
  query_row(name, value);
  newline();
}

// about
int cmd_about(int) {
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "%s invalid\n", gettok(prsestd));
  spoutsml("{txt}");
  spout21(("Zelta " + cvalue("zelta_version") + " for Linux\n").c_str());
  spout21(("Born " + cvalue("born_date") + "\n").c_str());
  spoutsml("\n{txt}Build\n");
  for (const auto& [name, value] : plat_buildinfo()) row(name, value);
  spoutsml("\n{txt}Linked libraries\n");
  for (const auto& [name, value] : plat_libraries()) row(name, value);
  return 0;
}

}  // namespace

void about_querygroup() {
  query_head("Build");
  row("version", cvalue("zelta_version"));
  row("born date", cvalue("born_date"));
  for (const auto& [name, value] : plat_buildinfo()) row(name, value);
  for (const auto& [name, value] : plat_libraries()) row(name, value);
}

void timer_bindcommand();
void platform_bindcommands() {
  cmdbind("about", cmd_about);
  timer_bindcommand();
}
