// The `chelp` command (also `man`), which the `help` ado-file calls: shows a
// help file or one function entry through the results stream, at its line
// width and with its more prompt; `r(#)` shows a return code's message; an
// unknown topic is reported with close names.
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "help/help.h"
#include "interp/cmdtab.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// Sends help text at the result level in text colour; 1 when the user
// stopped at the more prompt.
int show(const std::string& text) {
  int prev = setoutlev(OUT_RESULT);
  spoutsml("{txt}");
  spoutsml(text.c_str());
  if (!text.empty() && text.back() != '\n') newline();
  spoutsml("{reset}");
  setoutlev(prev);
  return stopflag ? 1 : 0;
}

// r(#): the return code's message as the system prints it.
int showrc(int rc) {
  int prev = setoutlev(OUT_RESULT);
  spoutsml(("{txt}{title:Return code " + std::to_string(rc) + "}\n\n").c_str());
  setoutlev(prev);
  (void)error(rc);
  setoutlev(prev);
  return 0;
}

// "help for x not found" and the close names, as links; 111.
int notfound(const std::string& topic) {
  int prev = setoutlev(OUT_ERROR);
  spout21(("help for " + topic + " not found\n").c_str());
  setoutlev(OUT_TEXT);
  std::vector<std::string> close = help_suggest(topic, 5);
  if (!close.empty()) {
    std::string line = "{txt}close names:";
    for (const std::string& c : close) line += " {help " + c + "}";
    spoutsml((line + "\n").c_str());
  } else {
    spoutsml("{txt}type {help help:help} alone for the contents\n");
  }
  setoutlev(prev);
  return RC_NOTFOUND;
}

// Reads a whole file; false when it cannot be read.
bool slurp(const std::string& path, std::string& text) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  text = ss.str();
  return true;
}

// chelp -> CHELP [topic]
int cmd_chelp(int) {
  std::string topic;
  ParseResult pr;
  if (int rc = lang_options(pr, &topic)) return rc;
  if (int rc = chkopt(pr)) return rc;
  topic = trim(topic);
  if (topic.size() >= 2 && topic.front() == '"' && topic.back() == '"')
    topic = trim(topic.substr(1, topic.size() - 2));
  // r(#) and r#: the message of a return code.
  if (topic.size() > 1 && topic[0] == 'r') {
    std::string n = topic.substr(1);
    if (n.size() > 2 && n.front() == '(' && n.back() == ')') n = n.substr(1, n.size() - 2);
    if (!n.empty() && n.size() <= 4 && n.find_first_not_of("0123456789") == std::string::npos)
      return showrc(std::atoi(n.c_str()));
  }
  HelpTarget t;
  int rc = help_resolve(topic, &t);
  // "graph export" is the file graph_export, else the first word's help.
  if (rc && topic.find(' ') != std::string::npos) {
    std::string joined;
    std::istringstream is(topic);
    for (std::string w; is >> w;) joined += (joined.empty() ? "" : "_") + w;
    rc = help_resolve(joined, &t);
    if (rc) rc = help_resolve(topic.substr(0, topic.find(' ')), &t);
  }
  if (rc) return notfound(topic);
  std::string text;
  // help alone: the contents with every page of the help folder in it
  if (t.topic == "contents" && t.entry.empty()) text = help_contents();
  if (text.empty() && !slurp(t.path, text)) return errmsgf(RC_FILEOPEN, "file %s could not be opened\n", t.path.c_str());
  if (!t.entry.empty()) {
    std::string stem = t.path.substr(t.path.rfind('/') + 1);
    stem = stem.substr(0, stem.rfind('.'));
    text = help_entry(t.path, t.entry);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    text += "\n\n{p 4 4 2}(from {help " + stem + "}){p_end}\n";
  }
  return show(text);
}

}  // namespace

void help_bindcommands() {
  cmdbind("chelp", cmd_chelp);
  cmdbind("man", cmd_chelp);
}
