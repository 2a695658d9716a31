// Finding help: the file of a topic along the ado-path and in the system
// directory's help folder, the alias list (`help/aliases`, lines "name
// target"), command abbreviations through the command table, function entries
// marked `{marker name()}` in the `*functions.zhlp` files, close names for a
// topic that resolves to nothing, and the contents page of `help` alone, which
// lists every page of the help folder.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "expr/funcs.h"
#include "help/help.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/program.h"

namespace {

bool isfile(const std::string& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string helpdir() { return interp.sysdir + "help/"; }

// A topic is a file-name stem: letters, digits, underscores (no path parts).
bool validstem(const std::string& s) {
  if (s.empty() || s.size() > 64) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The stems of the files with extension ext in dir (and, with `letters`, in
// its one-letter subfolders, as ado-files are stored).
void stems(const std::string& dir, const char* ext, bool letters, std::vector<std::string>& out) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  const std::string suf = std::string(".") + ext;
  std::vector<std::string> subs;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n.size() > suf.size() && n.compare(n.size() - suf.size(), suf.size(), suf) == 0)
      out.push_back(n.substr(0, n.size() - suf.size()));
    else if (letters && n.size() == 1 && n[0] != '.')
      subs.push_back(n);
  }
  ::closedir(d);
  for (const std::string& s : subs) stems(dir + s + "/", ext, false, out);
}

// The alias list: pairs (name, target) in file order.
std::vector<std::pair<std::string, std::string>> aliases() {
  std::vector<std::pair<std::string, std::string>> v;
  std::ifstream f(helpdir() + "aliases");
  std::string line;
  while (std::getline(f, line)) {
    std::istringstream is(line);
    std::string a, b;
    if (!(is >> a >> b) || a[0] == '#') continue;
    v.emplace_back(a, b);
  }
  return v;
}

// The function-group files of the help folder.
std::vector<std::string> functionfiles() {
  std::vector<std::string> st, v;
  stems(helpdir(), HELP_EXT, false, st);
  std::sort(st.begin(), st.end());
  for (const std::string& s : st)
    if (s.size() > 9 && s.compare(s.size() - 9, 9, "functions") == 0)
      v.push_back(helpdir() + s + "." + HELP_EXT);
  return v;
}

bool hasmarker(const std::string& line, const std::string& name) {
  return line.find("{marker " + name + "}") != std::string::npos;
}

bool endswith(const std::string& s, const std::string& t) {
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// What a page says of itself: the description of its title line
// ("{bf:name} {hline 2} Description", first letter lowered as the contents
// page writes them) and the task of its "{* category: Task}" line.
void pagefacts(const std::string& path, std::string& desc, std::string& task) {
  desc.clear();
  task.clear();
  std::ifstream f(path);
  std::string line;
  const std::string dash = "{hline 2}", cat = "{* category:";
  while (std::getline(f, line) && (desc.empty() || task.empty())) {
    size_t at = line.find(dash);
    if (desc.empty() && line.rfind("{bf:", 0) == 0 && at != std::string::npos) {
      desc = line.substr(at + dash.size());
      desc.erase(0, desc.find_first_not_of(' '));
      if (desc.size() > 1 && std::isupper(static_cast<unsigned char>(desc[0])) &&
          !std::isupper(static_cast<unsigned char>(desc[1])))
        desc[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(desc[0])));
    }
    if (task.empty() && line.rfind(cat, 0) == 0) {
      size_t end = line.find('}');
      task = line.substr(cat.size(), end == std::string::npos ? std::string::npos : end - cat.size());
      task.erase(0, task.find_first_not_of(' '));
      while (!task.empty() && task.back() == ' ') task.pop_back();
    }
  }
}

}  // namespace

std::string help_findfile(const std::string& topic) {
  if (!validstem(topic)) return "";
  std::string p = srchado(topic.c_str(), HELP_EXT, 1);
  if (!p.empty()) return p;
  p = helpdir() + topic + "." + HELP_EXT;
  return isfile(p) ? p : "";
}

std::string help_entry(const std::string& path, const std::string& name) {
  std::ifstream f(path);
  std::string line, res;
  bool in = false;
  while (std::getline(f, line)) {
    if (in && (line.rfind("{marker ", 0) == 0 || line.rfind("{title:", 0) == 0)) break;
    if (!in && hasmarker(line, name)) in = true;
    if (in) res += line + "\n";
  }
  return res;
}

int help_resolve(const std::string& typed, HelpTarget* t) {
  *t = HelpTarget{};
  const std::string topic = typed.empty() ? "contents" : typed;
  if (topic.size() > 2 && topic.compare(topic.size() - 2, 2, "()") == 0) {
    // Function names are case-sensitive (F(), Binomial()); a lower-case
    // spelling is tried second.
    if (!validstem(topic.substr(0, topic.size() - 2))) return 111;
    for (const std::string& fn : {topic, lower(topic)})
      for (const std::string& f : functionfiles()) {
        std::ifstream in(f);
        std::string line;
        while (std::getline(in, line))
          if (hasmarker(line, fn)) {
            *t = HelpTarget{fn, f, fn};
            return 0;
          }
      }
    return 111;
  }
  auto file = [t](const std::string& name) {
    std::string p = help_findfile(name);
    if (p.empty()) return false;
    *t = HelpTarget{name, p, ""};
    return true;
  };
  if (file(topic) || file(lower(topic))) return 0;
  for (const auto& [a, b] : aliases())
    if (a == topic || a == lower(topic)) {
      size_t hash = b.find('#');
      if (!file(b.substr(0, hash))) return 111;
      if (hash != std::string::npos) t->entry = b.substr(hash + 1);
      return 0;
    }
  if (const char* full = cmdfullname(lower(topic).c_str()))
    if (file(full)) return 0;
  return 111;
}

std::vector<std::string> help_links(const std::string& text) {
  std::vector<std::string> v;
  for (const char* open : {"{help ", "{helpb "}) {
    const size_t n = std::strlen(open);
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + n)) {
      const size_t end = text.find_first_of(":} ", at + n);
      if (end != std::string::npos) v.push_back(text.substr(at + n, end - at - n));
    }
  }
  return v;
}

std::string help_contents() {
  const std::string path = helpdir() + "contents." + HELP_EXT;
  std::ifstream f(path, std::ios::binary);
  if (!f) return "";
  std::ostringstream ss;
  ss << f.rdbuf();
  std::string text = ss.str();
  std::vector<std::string> linked = help_links(text);
  std::set<std::string> listed(linked.begin(), linked.end());
  std::vector<std::string> pages;
  stems(helpdir(), HELP_EXT, false, pages);
  std::sort(pages.begin(), pages.end());
  std::string others;
  for (const std::string& p : pages) {
    if (p == "contents" || listed.count(p) || endswith(p, "functions") || !validstem(p)) continue;
    std::string desc, task;
    pagefacts(helpdir() + p + "." + HELP_EXT, desc, task);
    const std::string entry = "{p2col:{help " + p + "}}" + desc + "{p_end}\n";
    // The end of the task's section: the blank line before the next task,
    // or the end of the table.
    const size_t head = task.empty() ? std::string::npos : text.find("{syntab:" + task + "}\n");
    if (head != std::string::npos) {
      size_t end = std::min(text.find("\n\n", head), text.find("{p2colreset}", head));
      if (end != std::string::npos && text[end] == '\n') ++end;
      if (end != std::string::npos) {
        text.insert(end, entry);
        continue;
      }
    }
    others += entry;
  }
  if (!others.empty()) {
    others = "\n{syntab:Other commands}\n" + others;
    const size_t reset = text.rfind("{p2colreset}");
    if (reset != std::string::npos) text.insert(reset, others);
    else text += "{p2colset 5 24 26 2}{...}" + others + "{p2colreset}{...}\n";
  }
  return text;
}

size_t help_distance(const std::string& a, const std::string& b) {
  const size_t n = a.size(), m = b.size();
  std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1));
  for (size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (size_t i = 1; i <= n; ++i)
    for (size_t j = 1; j <= m; ++j) {
      size_t c = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + c});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[n][m];
}

std::vector<std::string> help_topics() {
  std::vector<std::string> v;
  stems(helpdir(), HELP_EXT, false, v);
  for (const std::string& d : adopath_dirs()) {
    stems(d, HELP_EXT, true, v);
    stems(d, "ado", true, v);
  }
  for (const auto& a : aliases()) v.push_back(a.first);
  std::vector<const char*> names;
  cmdlist(names, true);
  for (const char* n : names) v.emplace_back(n);
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  return v;
}

std::vector<std::string> help_suggest(const std::string& typed, size_t max) {
  const bool isfn = typed.size() > 2 && typed.compare(typed.size() - 2, 2, "()") == 0;
  const std::string word = lower(isfn ? typed.substr(0, typed.size() - 2) : typed);
  std::vector<std::string> cands;
  if (isfn) {
    size_t n = 0;
    const FuncDef* f = functable(&n);
    for (size_t i = 0; i < n; ++i)
      if (f[i].name[0] != '_') cands.emplace_back(f[i].name);
  } else {
    cands = help_topics();
  }
  // Close enough: a third of the word's letters may be wrong, at least one.
  const size_t limit = std::max<size_t>(1, word.size() / 3);
  std::vector<std::tuple<size_t, size_t, std::string>> hits;
  std::set<std::string> seen;
  for (const std::string& c : cands) {
    if (!seen.insert(c).second) continue;
    if (c == word || (c[0] == '_' && word[0] != '_')) continue;
    if (c.size() > 4 && c.compare(c.size() - 4, 4, "_dlg") == 0) continue;
    // A name the word begins counts as one step away, behind real one-step names.
    const size_t raw = help_distance(word, lower(c));
    size_t d = raw;
    if (word.size() >= 3 && c.compare(0, word.size(), word) == 0) d = std::min<size_t>(d, 1);
    if (d <= limit) hits.emplace_back(d, raw, c);
  }
  std::sort(hits.begin(), hits.end());
  std::vector<std::string> res;
  for (const auto& h : hits) {
    if (res.size() == max) break;
    const std::string& name = std::get<2>(h);
    res.push_back(isfn ? name + "()" : name);
  }
  return res;
}
