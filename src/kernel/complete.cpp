// Editing help for notebook cells: whether a cell is complete (open braces,
// an open comment, a `///` continuation, a command left without its `;`
// under `#delimit ;`), completion of the word at the cursor (command names
// and programs first in a command, then variables, macros after ` and $, and
// file names), and the help text of the command under the cursor.
#include <dirent.h>

#include <cstdio>
#include <fstream>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "kernel/kernel.h"
#include "output/output.h"

namespace {

bool wordch(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 128;
}

bool filech(char c) { return wordch(c) || c == '.' || c == '/' || c == '-' || c == '~'; }

// Start of the line holding byte pos.
size_t linestart(const std::string& code, size_t pos) {
  while (pos > 0 && code[pos - 1] != '\n') --pos;
  return pos;
}

bool startswith(const std::string& s, const std::string& p) {
  return s.size() >= p.size() && s.compare(0, p.size(), p) == 0;
}

// Words that put a command after them: prefixes and `by ...:`.
bool isprefix(const std::string& w) {
  return cmdcmp(w.c_str(), "capture", 3) || cmdcmp(w.c_str(), "quietly", 1) ||
         cmdcmp(w.c_str(), "noisily", 1) || cmdcmp(w.c_str(), "nobreak", 7) || w == "xi" ||
         w == "{";
}

// True when the word starting at `a` is where a command name goes.
bool commandposition(const std::string& code, size_t a) {
  size_t ls = linestart(code, a);
  std::string before = code.substr(ls, a - ls);
  // After a colon (by-prefix, `quietly:`) a command starts again.
  size_t colon = before.rfind(':');
  if (colon != std::string::npos) before = before.substr(colon + 1);
  size_t brace = before.rfind('{');
  if (brace != std::string::npos) before = before.substr(brace + 1);
  size_t i = 0;
  while (true) {
    while (i < before.size() && before[i] == ' ') ++i;
    if (i >= before.size()) return true;
    size_t j = i;
    while (j < before.size() && before[j] != ' ') ++j;
    if (!isprefix(before.substr(i, j - i))) return false;
    i = j;
  }
}

void addmatches(std::set<std::string>& out, const std::vector<std::string>& cands,
                const std::string& prefix) {
  for (const std::string& c : cands)
    if (startswith(c, prefix)) out.insert(c);
}

std::vector<std::string> commandnames() {
  std::vector<std::string> names;
  cmdnames(names);
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& n) { return n.empty() || n[0] == '_'; }),
              names.end());
  for (ObjEntry* e = dmfirst(OBJ_PROGRAM); e; e = e->tnext) names.emplace_back(e->name);
  // Ado-files along the path: NAME.ado in each folder or its letter folder.
  for (const std::string& d : adopath_dirs()) {
    DIR* dir = opendir(d.c_str());
    if (!dir) continue;
    std::vector<std::string> subdirs = {d};
    while (dirent* e = readdir(dir))
      if (std::strlen(e->d_name) == 1 && std::isalpha(static_cast<unsigned char>(e->d_name[0])))
        subdirs.push_back(d + "/" + e->d_name);
    closedir(dir);
    for (const std::string& sd : subdirs) {
      DIR* s = opendir(sd.c_str());
      if (!s) continue;
      while (dirent* e = readdir(s)) {
        std::string n = e->d_name;
        if (n.size() > 4 && n.compare(n.size() - 4, 4, ".ado") == 0 && n[0] != '_')
          names.push_back(n.substr(0, n.size() - 4));
      }
      closedir(s);
    }
  }
  return names;
}

std::vector<std::string> variables() {
  std::vector<std::string> v;
  for (int i = 0; i < ds.nvar; ++i) v.push_back(varname(i));
  return v;
}

// Local macro names of the console level (stored with a leading `_`).
std::vector<std::string> locals() {
  std::vector<std::string> v;
  for (ObjEntry* e = dmfirst(mac.typelmac); e; e = e->tnext)
    if (e->name[0] == '_' && e->name[1] != '_') v.emplace_back(e->name + 1);
  return v;
}

std::vector<std::string> globals() {
  std::vector<std::string> v;
  for (ObjEntry* e = dmfirst(OBJ_GLOBAL); e; e = e->tnext) v.emplace_back(e->name);
  return v;
}

// Files whose path starts with prefix; folders end in '/'.
std::vector<std::string> files(const std::string& prefix) {
  std::vector<std::string> v;
  size_t slash = prefix.rfind('/');
  std::string dir = slash == std::string::npos ? "." : prefix.substr(0, slash + 1);
  std::string lead = slash == std::string::npos ? "" : prefix.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? prefix : prefix.substr(slash + 1);
  DIR* d = opendir(dir.c_str());
  if (!d) return v;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    if (n[0] == '.' && (base.empty() || base[0] != '.')) continue;
    if (!startswith(n, base)) continue;
    bool isdir = e->d_type == DT_DIR;
    v.push_back(lead + n + (isdir ? "/" : ""));
  }
  closedir(d);
  std::sort(v.begin(), v.end());
  return v;
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
  size_t cur = static_cast<size_t>(std::clamp(cursor, 0, static_cast<int>(code.size())));
  size_t a = cur;
  while (a > 0 && filech(code[a - 1])) --a;
  size_t b = cur;
  while (b < code.size() && wordch(code[b])) ++b;
  start = static_cast<int>(a);
  end = static_cast<int>(b);
  std::string word = code.substr(a, cur - a);
  std::set<std::string> found;
  const char before = a > 0 ? code[a - 1] : 0;
  if (before == '`') {
    addmatches(found, locals(), word);
  } else if (before == '$') {
    addmatches(found, globals(), word);
  } else if (before == '"' || word.find('/') != std::string::npos ||
             (word.find('.') != std::string::npos && !commandposition(code, a))) {
    for (const std::string& f : files(word)) found.insert(f);
  } else if (commandposition(code, a)) {
    addmatches(found, commandnames(), word);
  } else {
    addmatches(found, variables(), word);
    if (!word.empty())
      for (const std::string& f : files(word)) found.insert(f);
  }
  return {found.begin(), found.end()};
}

std::string kinspect(const std::string& code, int cursor) {
  size_t cur = static_cast<size_t>(std::clamp(cursor, 0, static_cast<int>(code.size())));
  // The command of the line under the cursor (after any prefixes).
  size_t i = linestart(code, cur);
  std::string w;
  while (true) {
    while (i < code.size() && (code[i] == ' ' || code[i] == '\t')) ++i;
    size_t j = i;
    while (j < code.size() && wordch(code[j])) ++j;
    w = code.substr(i, j - i);
    if (!isprefix(w)) break;
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
