// Label languages: sets of variable labels, value-label attachments and a
// dataset label kept side by side. The current language's labels are the
// ordinary ones; every other language lives in characteristics: its list in
// _dta[_lang_list], the current name in _dta[_lang_c], and per language L
// var[_lang_v_L] (variable label), var[_lang_l_L] (value-label name) and
// _dta[_lang_v_L] (dataset label).
#include <algorithm>
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

constexpr int LANG_MAX = 100;       // languages in one dataset
constexpr size_t LANG_NAMELEN = 24; // longest language name

// The languages defined, in order (just "default" when none was made).
std::vector<std::string> langlist() {
  std::vector<std::string> r;
  if (const std::string* t = charget("_dta", "_lang_list")) {
    size_t i = 0;
    while (i < t->size()) {
      size_t j = t->find(' ', i);
      if (j == std::string::npos) j = t->size();
      if (j > i) r.push_back(t->substr(i, j - i));
      i = j + 1;
    }
  }
  if (r.empty()) r.push_back("default");
  return r;
}

std::string langcurrent() {
  const std::string* t = charget("_dta", "_lang_c");
  return t && !t->empty() ? *t : langlist().front();
}

void setlangs(const std::vector<std::string>& list, const std::string& cur) {
  std::string t;
  for (const auto& l : list) t += (t.empty() ? "" : " ") + l;
  charset("_dta", "_lang_list", t);
  charset("_dta", "_lang_c", cur);
}

bool haslang(const std::vector<std::string>& list, const std::string& l) {
  return std::find(list.begin(), list.end(), l) != list.end();
}

// Posts the current labels into the characteristics of language l.
void postlabels(const std::string& l) {
  for (int v = 1; v <= ds.nvar; ++v) {
    const char* o = varname(v).c_str();
    charset(o, ("_lang_v_" + l).c_str(), ds.varlabels[static_cast<size_t>(v)]);
    charset(o, ("_lang_l_" + l).c_str(), ds.lbllist[static_cast<size_t>(v)]);
  }
  charset("_dta", ("_lang_v_" + l).c_str(), ds.datalbl);
}

// Makes the labels those stored for language l and removes its store.
void fetchlabels(const std::string& l) {
  const std::string vn = "_lang_v_" + l, ln = "_lang_l_" + l;
  for (int v = 1; v <= ds.nvar; ++v) {
    const char* o = varname(v).c_str();
    const std::string* t = charget(o, vn.c_str());
    ds.varlabels[static_cast<size_t>(v)] = t ? *t : "";
    t = charget(o, ln.c_str());
    ds.lbllist[static_cast<size_t>(v)] = t && !isstrtype(vartype(v)) ? *t : "";
    charset(o, vn.c_str(), "");
    charset(o, ln.c_str(), "");
  }
  const std::string* t = charget("_dta", vn.c_str());
  ds.datalbl = t ? *t : "";
  charset("_dta", vn.c_str(), "");
}

// Removes the stored labels of language l (not current).
void droplabels(const std::string& l) {
  const std::string vn = "_lang_v_" + l, ln = "_lang_l_" + l;
  for (int v = 1; v <= ds.nvar; ++v) {
    charset(varname(v).c_str(), vn.c_str(), "");
    charset(varname(v).c_str(), ln.c_str(), "");
  }
  charset("_dta", vn.c_str(), "");
}

void clearlabels() {
  for (int v = 1; v <= ds.nvar; ++v) {
    ds.varlabels[static_cast<size_t>(v)].clear();
    ds.lbllist[static_cast<size_t>(v)].clear();
  }
  ds.datalbl.clear();
}

int notelang(const std::string& l) {
  int prev = setoutlev(OUT_NOTE);
  spout21f("(language %s now current language)\n", l.c_str());
  setoutlev(prev);
  return 0;
}

int showlangs() {
  std::vector<std::string> list = langlist();
  std::string cur = langcurrent();
  spout21("\n    Language for variable and value labels\n\n    Available languages:\n");
  for (const auto& l : list) spout21f("            %s\n", l.c_str());
  spout21f("\n    Currently set is:     label language %s\n", cur.c_str());
  spout21("    To select another:    label language <name>\n");
  spout21("    To create a new one:  label language <name>, new [copy]\n");
  spout21("    To rename current:    label language <name>, rename\n");
  spout21("    To delete one:        label language <name>, delete\n");
  return 0;
}

}  // namespace

// label language [name] [, new copy rename delete]
int lablanguage(const char* args) {
  ParseResult pr;
  std::string a = args;
  std::string opts;
  size_t comma = a.find(',');
  if (comma != std::string::npos) {
    opts = a.substr(comma + 1);
    a.resize(comma);
  }
  settok(a.c_str());
  std::string name = gettok(prsestd);
  if (*gettok(prsestd)) return error(RC_SYNTAX);
  settok(opts.c_str());
  if (int rc = proption(pr)) return rc;
  bool isnew = findopt(pr, "new", 3, 0) == 1;
  bool copy = findopt(pr, "copy", 4, 0) == 1;
  bool rename = findopt(pr, "rename", 6, 0) == 1;
  bool del = findopt(pr, "delete", 6, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (isnew + rename + del > 1)
    return errmsgf(RC_SYNTAX, "options -delete-, -new-, and -rename- may be not be combined\n");
  if (copy && !isnew) return errmsgf(RC_SYNTAX, "option -copy- may only be specified with option -new-\n");
  if (name.empty()) {
    if (isnew || rename || del) return errmsgf(RC_SYNTAX, "language name required\n");
    return showlangs();
  }
  if (int rc = chkname(name.c_str())) return rc;
  if (name.size() > LANG_NAMELEN)
    return errmsgf(RC_SYNTAX, "%s invalid language name; at most %zu characters\n", name.c_str(), LANG_NAMELEN);
  std::vector<std::string> list = langlist();
  std::string cur = langcurrent();
  if (isnew || rename) {
    if (haslang(list, name)) return errmsgf(RC_DEFINED, "language %s already exists\n", name.c_str());
  } else if (!haslang(list, name)) {
    return errmsgf(RC_NOTFOUND, "language %s not defined\n", name.c_str());
  }
  if (isnew) {
    if (static_cast<int>(list.size()) >= LANG_MAX)
      return errmsgf(RC_LIMIT, "cannot create new language; too many languages\n");
    postlabels(cur);
    if (!copy) clearlabels();
    list.push_back(name);
    setlangs(list, name);
    ds.updata = true;
    return notelang(name);
  }
  if (rename) {
    *std::find(list.begin(), list.end(), cur) = name;
    setlangs(list, name);
    ds.updata = true;
    return 0;
  }
  if (del) {
    if (list.size() == 1) return errmsgf(RC_SYNTAX, "language %s is the only language and may not be deleted\n", name.c_str());
    list.erase(std::find(list.begin(), list.end(), name));
    if (name == cur) {
      clearlabels();
      fetchlabels(list.front());
      setlangs(list, list.front());
      (void)notelang(list.front());
    } else {
      droplabels(name);
      setlangs(list, cur);
    }
    if (list.size() == 1 && list.front() == "default") {
      charset("_dta", "_lang_list", "");
      charset("_dta", "_lang_c", "");
    }
    ds.updata = true;
    return 0;
  }
  if (name == cur) return 0;
  postlabels(cur);
  fetchlabels(name);
  setlangs(list, name);
  ds.updata = true;
  return 0;
}
