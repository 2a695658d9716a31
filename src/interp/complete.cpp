// Completion of the word under the cursor for the console and the notebook
// kernel. The context comes from the cursor's line: where a command goes
// (line start, after prefixes, `by ...:` or `{`) command names, programs and
// ado-files; after ` and $ macro names; after `using` and the file commands
// (do, run, include, use, save, cd, erase, type) file names, only datasets
// (.dta) and folders for the commands that read datasets (use, append,
// merge); after help and which command names; elsewhere variables, and files
// once the word looks like a path.
#include "interp/complete.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/macro.h"
#include "interp/program.h"

namespace {

// Start of the line holding byte pos.
size_t linestart(const std::string& code, size_t pos) {
  while (pos > 0 && code[pos - 1] != '\n') --pos;
  return pos;
}

bool startswith(const std::string& s, const std::string& p) {
  return s.size() >= p.size() && s.compare(0, p.size(), p) == 0;
}

// The blank-separated words of the cursor's line before byte a, from the
// last command start (after a `:` or `{`) on.
std::vector<std::string> wordsbefore(const std::string& code, size_t a) {
  size_t ls = linestart(code, a);
  std::string before = code.substr(ls, a - ls);
  size_t cut = before.find_last_of(":{");
  if (cut != std::string::npos) before = before.substr(cut + 1);
  std::vector<std::string> words;
  size_t i = 0;
  while (true) {
    while (i < before.size() && (before[i] == ' ' || before[i] == '\t')) ++i;
    if (i >= before.size()) break;
    size_t j = i;
    while (j < before.size() && before[j] != ' ' && before[j] != '\t') ++j;
    words.push_back(before.substr(i, j - i));
    i = j;
  }
  return words;
}

// Index of the command word in `words` (after prefixes); words.size() when
// the cursor's word is itself in command position.
size_t commandindex(const std::vector<std::string>& words) {
  size_t k = 0;
  while (k < words.size() && cmpl_isprefix(words[k])) ++k;
  return k;
}

// True when the word after `words` names a file: it follows `using`, or it is
// the first argument of a command that takes a file name.
bool fileposition(const std::vector<std::string>& words, size_t cmd) {
  if (!words.empty() && words.back() == "using") return true;
  if (cmd + 1 != words.size()) return false;
  const char* full = cmdfullname(words[cmd].c_str());
  if (!full) return false;
  static const char* const takefile[] = {"do", "run", "include", "use", "save", "cd", "erase", "type"};
  for (const char* n : takefile)
    if (!std::strcmp(full, n)) return true;
  return false;
}

// True when the word after `words` names a command: the first argument of
// help, man and which.
bool commandargument(const std::vector<std::string>& words, size_t cmd) {
  if (cmd + 1 != words.size()) return false;
  const std::string& w = words[cmd];
  const char* full = cmdfullname(w.c_str());
  return w == "help" || w == "man" || (full && !std::strcmp(full, "which"));
}

// True when the command of the line reads dataset files, so that only .dta
// files and folders are offered as its file names.
bool datasetcommand(const std::vector<std::string>& words, size_t cmd) {
  if (cmd >= words.size()) return false;
  // a built-in by any abbreviation, or an ado-file command by its name
  const char* full = cmdfullname(words[cmd].c_str());
  if (!full) full = words[cmd].c_str();
  static const char* const readsdta[] = {"use", "append", "merge"};
  for (const char* n : readsdta)
    if (!std::strcmp(full, n)) return true;
  return false;
}

void addmatches(std::set<std::string>& out, const std::vector<std::string>& cands,
                const std::string& prefix) {
  for (const std::string& c : cands)
    if (startswith(c, prefix)) out.insert(c);
}

// Built-in commands (not the internal `_` ones), programs in memory and
// ado-files along the path (NAME.ado in each folder or its letter folder).
std::vector<std::string> commandnames() {
  std::vector<std::string> names;
  cmdnames(names);
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& n) { return n.empty() || n[0] == '_'; }),
              names.end());
  for (ObjEntry* e = dmfirst(OBJ_PROGRAM); e; e = e->tnext) names.emplace_back(e->name);
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
  for (int i = 1; i <= ds.nvar; ++i) v.push_back(varname(i));  // the tables count from 1
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

// Files whose path starts with prefix (with `dtaonly`, only .dta files);
// folders end in '/'. Hidden files only when the typed name starts with a dot.
void files(std::set<std::string>& out, const std::string& prefix, bool dtaonly = false) {
  size_t slash = prefix.rfind('/');
  std::string dir = slash == std::string::npos ? "." : prefix.substr(0, slash + 1);
  std::string lead = slash == std::string::npos ? "" : prefix.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? prefix : prefix.substr(slash + 1);
  if (startswith(dir, "~/"))
    if (const char* home = std::getenv("HOME")) dir = home + dir.substr(1);
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    if (n[0] == '.' && (base.empty() || base[0] != '.')) continue;
    if (!startswith(n, base)) continue;
    bool isdir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      DIR* sub = opendir((dir + "/" + n).c_str());
      isdir = sub != nullptr;
      if (sub) closedir(sub);
    }
    if (dtaonly && !isdir && !(n.size() > 4 && n.compare(n.size() - 4, 4, ".dta") == 0)) continue;
    out.insert(lead + n + (isdir ? "/" : ""));
  }
  closedir(d);
}

}  // namespace

bool cmpl_wordch(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 128;
}

bool cmpl_filech(char c) { return cmpl_wordch(c) || c == '.' || c == '/' || c == '-' || c == '~'; }

bool cmpl_isprefix(const std::string& w) {
  return cmdcmp(w.c_str(), "capture", 3) || cmdcmp(w.c_str(), "quietly", 1) ||
         cmdcmp(w.c_str(), "noisily", 1) || cmdcmp(w.c_str(), "nobreak", 7) || w == "xi" ||
         w == "{";
}

std::vector<std::string> cmpl_words(const std::string& code, int cursor, int& start, int& end) {
  size_t cur = static_cast<size_t>(std::clamp(cursor, 0, static_cast<int>(code.size())));
  size_t a = cur;
  while (a > 0 && cmpl_filech(code[a - 1])) --a;
  size_t b = cur;
  while (b < code.size() && cmpl_wordch(code[b])) ++b;
  start = static_cast<int>(a);
  end = static_cast<int>(b);
  std::string word = code.substr(a, cur - a);
  std::set<std::string> found;
  const char before = a > 0 ? code[a - 1] : 0;
  const std::vector<std::string> words = wordsbefore(code, a);
  const size_t cmd = commandindex(words);
  const bool atcommand = cmd == words.size() && before != '"';
  if (before == '`') {
    addmatches(found, locals(), word);
  } else if (before == '$') {
    addmatches(found, globals(), word);
  } else if (before == '"' || word.find('/') != std::string::npos || fileposition(words, cmd) ||
             (word.find('.') != std::string::npos && !atcommand)) {
    files(found, word, datasetcommand(words, cmd));
  } else if (atcommand || commandargument(words, cmd)) {
    addmatches(found, commandnames(), word);
  } else {
    addmatches(found, variables(), word);
    if (!word.empty()) files(found, word);
  }
  return {found.begin(), found.end()};
}
