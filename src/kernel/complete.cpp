// Editing help for notebook cells: whether a cell is complete (open braces,
// an open comment, a `///` continuation, a command left without its `;`
// under `#delimit ;`), completion of the word at the cursor (shared with the
// console, interp/complete.cpp), and the help text of the command under the
// cursor.
#include <cstdio>
#include <fstream>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "interp/cmdtab.h"
#include "interp/complete.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "kernel/kernel.h"
#include "output/output.h"

namespace {

// Start of the line holding byte pos.
size_t linestart(const std::string& code, size_t pos) {
  while (pos > 0 && code[pos - 1] != '\n') --pos;
  return pos;
}

// The ado-file of command name along the ado-path, "" when none.
std::string adofile(const std::string& name) {
  for (const std::string& d : adopath_dirs())
    for (const std::string& f : {d + "/" + name + ".ado", d + "/" + name.substr(0, 1) + "/" + name + ".ado"})
      if (FILE* fp = std::fopen(f.c_str(), "r")) {
        std::fclose(fp);
        return f;
      }
  return "";
}

// The `*!` lines of an ado-file (its own description) and its `syntax` lines.
std::string adocomments(const std::string& path) {
  std::ifstream in(path);
  std::string line, text;
  while (std::getline(in, line)) {
    size_t k = line.find_first_not_of(" \t");
    if (k == std::string::npos) continue;
    if (line.compare(k, 2, "*!") == 0) text += line.substr(std::min(line.size(), k + 3)) + "\n";
    else if (line.compare(k, 7, "syntax ") == 0) text += line.substr(k) + "\n";
  }
  return text;
}

}  // namespace

std::string kcomplete_status(const std::string& code, std::string& indent) {
  int depth = 0;
  bool semicolon = false;   // `#delimit ;` in force
  bool comment = false;     // inside /* */
  bool pending = false;     // under `;`: text since the last `;`
  bool cont = false;        // the last line ended in ///
  size_t i = 0;
  while (i < code.size()) {
    size_t e = code.find('\n', i);
    if (e == std::string::npos) e = code.size();
    std::string line = code.substr(i, e - i);
    i = e + 1;
    cont = false;
    size_t k = line.find_first_not_of(" \t");
    if (!comment && k != std::string::npos && line[k] == '#') {
      if (line.compare(k, 8, "#delimit") == 0 || line.compare(k, 2, "#d") == 0) {
        semicolon = line.find(';', k) != std::string::npos;
        pending = false;
      }
      continue;
    }
    if (!comment && !semicolon && k != std::string::npos && line[k] == '*') continue;
    bool quoted = false;
    for (size_t j = 0; j < line.size(); ++j) {
      char c = line[j];
      if (comment) {
        if (c == '*' && j + 1 < line.size() && line[j + 1] == '/') comment = false, ++j;
        continue;
      }
      if (quoted) {
        if (c == '"') quoted = false;
        continue;
      }
      if (c == '"') {
        quoted = true;
        pending = true;
      } else if (c == '/' && j + 1 < line.size() && line[j + 1] == '*') {
        comment = true;
        ++j;
      } else if (c == '/' && j + 1 < line.size() && line[j + 1] == '/' &&
                 (j == 0 || line[j - 1] == ' ' || line[j - 1] == '\t')) {
        cont = j + 2 < line.size() && line[j + 2] == '/';
        break;
      } else if (c == '{') {
        ++depth;
        pending = true;
      } else if (c == '}') {
        if (--depth < 0) return "invalid";
        pending = true;
      } else if (c == ';' && semicolon) {
        pending = false;
      } else if (c != ' ' && c != '\t') {
        pending = true;
      }
    }
  }
  if (depth > 0 || comment || cont || (semicolon && pending)) {
    indent.assign(static_cast<size_t>(4 * std::max(depth, cont ? 1 : 0)), ' ');
    return "incomplete";
  }
  return "complete";
}

std::vector<std::string> kcomplete(const std::string& code, int cursor, int& start, int& end) {
  return cmpl_words(code, cursor, start, end);
}

std::string kinspect(const std::string& code, int cursor) {
  size_t cur = static_cast<size_t>(std::clamp(cursor, 0, static_cast<int>(code.size())));
  // The command of the line under the cursor (after any prefixes).
  size_t i = linestart(code, cur);
  std::string w;
  while (true) {
    while (i < code.size() && (code[i] == ' ' || code[i] == '\t')) ++i;
    size_t j = i;
    while (j < code.size() && cmpl_wordch(code[j])) ++j;
    w = code.substr(i, j - i);
    if (!cmpl_isprefix(w)) break;
    i = j;
    if (i < code.size() && code[i] == ':') ++i;
  }
  if (w.empty()) return "";
  std::string text;
  const char* full = cmdfullname(w.c_str());
  std::string name = full ? full : w;
  // `help` itself is an ado-file over the built-in viewer; call the built-in
  // so inspection works without the ado-path.
  if (findbuiltin("chelp")) {
    std::string captured;
    out_set_capture(&captured);
    int rc = execline("chelp " + name);
    out_flush_all();
    out_set_capture(nullptr);
    if (rc == 0 && !captured.empty()) return captured;
  }
  if (full) {
    std::vector<std::string> names;
    std::vector<int> mins;
    cmdnames(names, &mins);
    for (size_t k = 0; k < names.size(); ++k)
      if (names[k] == name) {
        text = name + " is a built-in command; it may be abbreviated to " +
               name.substr(0, static_cast<size_t>(mins[k])) + "\n";
        return text;
      }
  }
  if (dmfind(w.c_str(), OBJ_PROGRAM)) return w + " is a program defined in this session\n";
  std::string path = adofile(w);
  if (!path.empty()) return w + " is an ado-file command (" + path + ")\n" + adocomments(path);
  return "";
}
