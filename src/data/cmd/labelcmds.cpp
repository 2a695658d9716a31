// The `label` command: value-label tables (define, values, list, dir, drop,
// save), variable labels and the dataset label. Label languages live in
// langs.cpp; this file dispatches to them.
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "expr/expr.h"
#include "files/atomicfile.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

constexpr size_t LABMAX = 80;  // longest variable or dataset label

const char* skipbl(const char* p) {
  while (*p == ' ') ++p;
  return p;
}

// One word at p (up to a blank); p moves past it.
std::string word(const char*& p) {
  p = skipbl(p);
  const char* s = p;
  while (*p && *p != ' ') ++p;
  return std::string(s, p);
}

// text -> '"' chars '"' | '`"' chars '"'' | word. False when a quote is open.
bool textarg(const char*& p, std::string& out) {
  p = skipbl(p);
  const char *s, *e, *after;
  if ((*p == '"' || (*p == '`' && p[1] == '"')) && parse_quoted_string(p, &s, &e, &after) == 0) {
    out.assign(s, e);
    p = after;
    return true;
  }
  if (*p == '"' || (*p == '`' && p[1] == '"')) return false;
  out = word(p);
  return true;
}

// The rest of the line as a label text: one quoted string, or the words as typed.
bool resttext(const char* p, std::string& out) {
  p = skipbl(p);
  if (*p == '"' || (*p == '`' && p[1] == '"')) {
    if (!textarg(p, out)) return false;
    return *skipbl(p) == 0;
  }
  out = p;
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return true;
}

// Cuts a variable or dataset label to its limit, with the note.
void cutlabel(std::string& t) {
  if (t.size() <= LABMAX) return;
  t.resize(LABMAX);
  int prev = setoutlev(OUT_NOTE);
  spout21f("note: label truncated to %zu characters\n", LABMAX);
  setoutlev(prev);
}

// The part of the line before the first comma outside quotes; opts gets the rest.
std::string splitopts(const char* p, const char** opts) {
  *opts = nullptr;
  const char* q = p;
  while (*q) {
    if (*q == '"' || (*q == '`' && q[1] == '"')) {
      const char *s, *e, *after;
      if (parse_quoted_string(q, &s, &e, &after) == 0) {
        q = after;
        continue;
      }
    }
    if (*q == ',') {
      *opts = q + 1;
      break;
    }
    ++q;
  }
  return std::string(p, q);
}

// Parses the options after the comma (may be null) with the shared parser.
int readopts(ParseResult& pr, const char* opts) {
  settok(opts ? opts : "");
  if (opts) return proption(pr);
  return 0;
}

int notfoundlab(const std::string& name) {
  return errmsgf(RC_NOTFOUND, "value label %s not found\n", name.c_str());
}

// A label value: an integer within the range a long holds.
int labelvalue(const std::string& w, int32_t* v) {
  char* end = nullptr;
  errno = 0;
  double d = w.empty() ? 0 : std::strtod(w.c_str(), &end);
  if (w.empty() || *end || w == ".") {
    if (w.size() >= 1 && w[0] == '.') return errmsgf(RC_SYNTAX, "may not label missing values\n");
    return experr(w.c_str(), 1, "integer", 0);
  }
  if (d != std::trunc(d)) return errmsgf(RC_SYNTAX, "may not label non-integers\n");
  if (d < VL_MINVAL || d > VL_MAXVAL)
    return errmsgf(RC_SYNTAX, "may not label values outside %.0f to %.0f\n", VL_MINVAL, VL_MAXVAL);
  *v = static_cast<int32_t>(d);
  return 0;
}

// label define lblname # "text" [# "text" ...] [, add modify replace nofix]
int lab_define(const char* p) {
  ParseResult pr;
  const char* opts;
  std::string body = splitopts(p, &opts);
  const char* b = body.c_str();
  std::string name = word(b);
  if (name.empty()) return required("label name");
  if (int rc = chkname(name.c_str())) return rc;
  std::vector<std::pair<int32_t, std::string>> pairs;
  for (b = skipbl(b); *b; b = skipbl(b)) {
    std::string w = word(b);
    int32_t v = 0;
    if (int rc = labelvalue(w, &v)) return rc;
    b = skipbl(b);
    if (!*b) return errmsgf(RC_SYNTAX, "label text for %s required\n", w.c_str());
    std::string t;
    if (!textarg(b, t)) return unmatchedquote();
    pairs.emplace_back(v, t);
  }
  if (int rc = readopts(pr, opts)) return rc;
  bool add = findopt(pr, "add", 3, 0) == 1;
  bool modify = findopt(pr, "modify", 6, 0) == 1;
  bool replace = findopt(pr, "replace", 7, 0) == 1;
  bool fix = findopt(pr, "fix", 3, 1) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (replace && (add || modify)) return errmsgf(RC_SYNTAX, "option replace may not be combined with add or modify\n");
  const ValueLabel* old = vlfind(name);
  if (old && !add && !modify && !replace) return errmsgf(RC_DEFINED, "label %s already defined\n", name.c_str());
  if (!old && !add && !modify && pairs.empty()) return error(RC_SYNTAX);
  // Built on a copy, so a failing pair leaves the table as it was.
  ValueLabel lab = old && !replace ? *old : ValueLabel{};
  for (auto& [v, t] : pairs) {
    if (t.size() > VL_MAXTXT) {
      t.resize(VL_MAXTXT);
      int prev = setoutlev(OUT_NOTE);
      spout21f("note: label truncated to %zu characters\n", VL_MAXTXT);
      setoutlev(prev);
    }
    if (!modify && vlfindval(lab, v) >= 0) return error(RC_MSG_LABEL);
    if (t.empty() && !modify) continue;
    if (int rc = vlset(lab, v, t)) return rc;
  }
  vlcreate(name) = std::move(lab);
  if (fix) vlfixfmts(name);
  return 0;
}

// label values varlist [lblname | .] [, nofix]
int lab_values(const char* p) {
  ParseResult pr;
  const char* opts;
  std::string body = splitopts(p, &opts);
  std::vector<std::string> words;
  for (const char* b = body.c_str(); *skipbl(b);) words.push_back(word(b));
  if (words.empty()) return required("varlist");
  std::string name;
  if (words.size() > 1) {
    name = words.back();
    words.pop_back();
    if (name == ".") name.clear();
    else if (int rc = chkname(name.c_str())) return rc;
  }
  std::string vars;
  for (auto& w : words) vars += w + " ";
  settok(vars.c_str());
  if (int rc = ssvlist(VL_EXISTING)) return rc;
  std::vector<int> list = vl.varlist_vr;
  if (int rc = readopts(pr, opts)) return rc;
  bool fix = findopt(pr, "fix", 3, 1) == 1;
  if (int rc = chkopt(pr)) return rc;
  for (int v : list)
    if (isstrtype(vartype(v))) return error(RC_LABELSTR);
  for (int v : list) {
    ds.lbllist[static_cast<size_t>(v)] = name;
    s_updata(v);
  }
  if (fix && !name.empty()) vlfixfmts(name);
  return 0;
}

// label variable varname ["text"]
int lab_variable(const char* p) {
  const char* q = p;
  std::string vn = word(q);
  if (vn.empty()) return required("varname");
  int v = zelta_findvar(vn.c_str(), 1, false);
  if (v < 0) return -v;
  std::string t;
  if (!resttext(q, t)) return unmatchedquote();
  cutlabel(t);
  ds.varlabels[static_cast<size_t>(v)] = t;
  s_updata(v);
  return 0;
}

// label data ["text"]
int lab_data(const char* p) {
  std::string t;
  if (!resttext(p, t)) return unmatchedquote();
  cutlabel(t);
  ds.datalbl = t;
  ds.updata = true;
  return 0;
}

// The names given, each checked to exist; all tables when none is given.
int labnames(const char* p, std::vector<std::string>& names) {
  for (const char* b = p; *skipbl(b);) {
    std::string n = word(b);
    if (!vlfind(n)) return notfoundlab(n);
    names.push_back(n);
  }
  if (names.empty())
    for (auto& [n, lab] : vls.tabs) names.push_back(n);
  return 0;
}

// label list [lblname ...]
int lab_list(const char* p) {
  std::vector<std::string> names;
  if (int rc = labnames(p, names)) return rc;
  for (auto& n : names) {
    const ValueLabel& lab = *vlfind(n);
    spout21f("%s:\n", n.c_str());
    for (int i = 0; i < lab.n(); ++i) {
      if (stopflag) return 1;
      spout21f("%12ld %s\n", static_cast<long>(lab.val[static_cast<size_t>(i)]), lab.txt[static_cast<size_t>(i)].c_str());
    }
  }
  return 0;
}

// label dir
int lab_dir(const char* p) {
  if (*skipbl(p)) return error(RC_SYNTAX);
  for (auto& [n, lab] : vls.tabs) spout21f("%s\n", n.c_str());
  return 0;
}

// label drop lblname ... | _all
int lab_drop(const char* p) {
  std::vector<std::string> names;
  for (const char* b = p; *skipbl(b);) names.push_back(word(b));
  if (names.empty()) return required("label name");
  if (names.size() == 1 && names[0] == "_all") {
    vldropall();
    return 0;
  }
  for (auto& n : names)
    if (!vlfind(n)) return notfoundlab(n);
  for (auto& n : names) vldrop(n);
  return 0;
}

// A text as a compound-quoted literal that reads back unchanged.
std::string quoted(const std::string& t) { return "`\"" + t + "\"'"; }

// Writes text to path without ever destroying the previous copy. 0 or a
// file code (printed).
int writefile(const std::string& path, const std::string& text) {
  AtomicFile f;
  if (int rc = af_open(f, path)) return af_openerr(f, rc);
  int rc = af_write(f, text.data(), text.size());
  if (!rc) rc = af_commit(f);
  if (rc) {
    af_abort(f);
    return fierr(rc, path.c_str());
  }
  return 0;
}

// label save [lblname ...] using filename [, replace]
int lab_save(const char* p) {
  ParseResult pr;
  const char* opts;
  std::string body = splitopts(p, &opts);
  size_t u = body.find("using");
  while (u != std::string::npos && ((u > 0 && body[u - 1] != ' ') || (u + 5 < body.size() && body[u + 5] != ' ')))
    u = body.find("using", u + 1);
  if (u == std::string::npos) return required("using");
  std::string list = body.substr(0, u);
  settok(body.c_str() + u + 5);
  std::string fn;
  if (int rc = gettokfn(fn)) return error(rc);
  if (fn.empty() || *skipbl(wheretok())) return error(RC_SYNTAX);
  if (fn.find('.', fn.rfind('/') == std::string::npos ? 0 : fn.rfind('/')) == std::string::npos) fn += ".do";
  if (int rc = readopts(pr, opts)) return rc;
  bool replace = findopt(pr, "replace", 7, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  std::vector<std::string> names;
  if (int rc = labnames(list.c_str(), names)) return rc;
  if (!replace && ::access(fn.c_str(), F_OK) == 0) return fierr(RC_FILEEXISTS, fn.c_str());
  std::string text;
  for (auto& n : names) {
    const ValueLabel& lab = *vlfind(n);
    for (int i = 0; i < lab.n(); ++i)
      text += "label define " + n + " " + std::to_string(lab.val[static_cast<size_t>(i)]) + " " +
              quoted(lab.txt[static_cast<size_t>(i)]) + ", modify\n";
  }
  if (int rc = writefile(fn, text)) return rc;
  (void)fierr(RC_FILESAVED, fn.c_str());
  return 0;
}

struct Sub {
  const char* name;
  int min;
  int (*fn)(const char*);
};
const Sub subs[] = {
    {"variable", 3, lab_variable}, {"values", 3, lab_values}, {"data", 2, lab_data},
    {"dir", 2, lab_dir},           {"list", 1, lab_list},     {"drop", 4, lab_drop},
    {"define", 2, lab_define},     {"save", 4, lab_save},     {"language", 4, lablanguage},
};

// label subcommand ...
int cmd_label(int) {
  const char* p = skipbl(wheretok());
  const char* s = p;
  while (*p && *p != ' ' && *p != ',') ++p;
  std::string w(s, p);
  std::string rest = p;  // the tokenizer's line is reused by the parsers below
  settok("");
  for (const Sub& sub : subs)
    if (cmdcmp(w.c_str(), sub.name, sub.min)) return sub.fn(rest.c_str());
  return error(RC_SYNTAX);
}

}  // namespace

int vlmacro(const char* args, std::string& res) {
  std::string a = args;
  bool strict = false;
  size_t comma = a.find(',');
  if (comma != std::string::npos) {
    std::string o = a.substr(comma + 1);
    size_t b = o.find_first_not_of(' '), e = o.find_last_not_of(' ');
    if (b == std::string::npos || o.substr(b, e - b + 1) != "strict") return error(RC_SYNTAX);
    strict = true;
    a.resize(comma);
  }
  const char* p = a.c_str();
  std::string who = word(p);
  std::string what = word(p);
  if (*skipbl(p)) return error(RC_SYNTAX);
  if (who.empty() || what.empty()) return error(RC_SYNTAX);
  std::string lname = who;
  if (who.front() == '(' && who.back() == ')') {
    std::string vn = who.substr(1, who.size() - 2);
    int v = zelta_findvar(vn.c_str(), 1, false);
    if (v < 0) return -v;
    lname = ds.lbllist[static_cast<size_t>(v)];
  }
  const ValueLabel* lab = lname.empty() ? nullptr : vlfind(lname);
  if (what == "maxlength") {
    res = std::to_string(lab ? vlmaxlen(*lab) : 0);
    return 0;
  }
  char* end = nullptr;
  double x = std::strtod(what.c_str(), &end);
  if (*end) return experr(what.c_str(), 1, "number", 0);
  const std::string* t = lab ? vltext(*lab, x) : nullptr;
  res = t ? *t : strict ? "" : what;
  return 0;
}

void data_bindlabels() {
  cmdbind("label", cmd_label);
  exhooks.vlabel = vlexprcode;
}
