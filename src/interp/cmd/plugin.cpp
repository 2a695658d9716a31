// Plug-ins: shared objects loaded by `program define name, plugin
// using("file.so")` and run by `plugin call name [varlist] [if] [in] [,
// args]`. The interface (system/plugin/zelta_plugin.h) is a table of
// routines through which the plug-in reads and writes the variables passed,
// macros, scalars and matrices; its version is checked when the plug-in is
// loaded. A plug-in runs in this process: a crash in it is not caught.
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "../../../system/plugin/zelta_plugin.h"
#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "files/files.h"
#include "interp/cmdtab.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "results/results.h"

namespace {

using VersionFn = int (*)();
using CallFn = int (*)(const zelta_api*, int, char**);

struct Loaded {
  void* handle = nullptr;  // from dlopen (kept open for the session)
  CallFn call = nullptr;
};

// The state of the plug-ins: those loaded by name, and the call running.
struct PluginState {
  std::map<std::string, Loaded> loaded;
  std::vector<int> vars;               // variables passed, 1..n
  std::vector<unsigned char> sel;      // selection of observations in1..in2
  long in1 = 1, in2 = 0;
};
PluginState pls;

// --- The routines of the table --------------------------------------------

int badvar(int var) { return var < 1 || var > static_cast<int>(pls.vars.size()); }
int badobs(long obs) { return obs < 1 || obs > ds.nobs; }

int api_nvars() { return static_cast<int>(pls.vars.size()); }
long api_nobs() { return ds.nobs; }
long api_in1() { return pls.in1; }
long api_in2() { return pls.in2; }
int api_selected(long obs) {
  if (obs < pls.in1 || obs > pls.in2) return 0;
  return pls.sel[static_cast<size_t>(obs - pls.in1)];
}
int api_isstring(int var) {
  if (badvar(var)) return -1;
  return isstrtype(vartype(pls.vars[static_cast<size_t>(var - 1)])) ? 1 : 0;
}
int api_getnum(int var, long obs, double* x) {
  if (badvar(var) || badobs(obs)) return RC_SYNTAX;
  const int v = pls.vars[static_cast<size_t>(var - 1)];
  if (isstrtype(vartype(v))) return RC_TYPEMISMATCH;
  *x = zelta_data(v, obs);
  return 0;
}
int api_putnum(int var, long obs, double x) {
  if (badvar(var) || badobs(obs)) return RC_SYNTAX;
  const int v = pls.vars[static_cast<size_t>(var - 1)];
  if (isstrtype(vartype(v))) return RC_TYPEMISMATCH;
  if (x != x) x = misval_k(0);
  store(v, obs, x);
  ds.updata = true;
  return 0;
}
int api_getstr(int var, long obs, char* buf, size_t size) {
  if (badvar(var) || badobs(obs) || !buf || !size) return RC_SYNTAX;
  const int v = pls.vars[static_cast<size_t>(var - 1)];
  if (!isstrtype(vartype(v))) return RC_TYPEMISMATCH;
  std::string s;
  szelta_data(v, obs, s);
  const size_t k = std::min(s.size(), size - 1);
  std::memcpy(buf, s.data(), k);
  buf[k] = 0;
  return 0;
}
int api_putstr(int var, long obs, const char* s) {
  if (badvar(var) || badobs(obs) || !s) return RC_SYNTAX;
  const int v = pls.vars[static_cast<size_t>(var - 1)];
  if (!isstrtype(vartype(v))) return RC_TYPEMISMATCH;
  safe_sstore(v, obs, s);
  ds.updata = true;
  return 0;
}
double api_missval() { return misval_k(0); }
int api_ismissing(double x) { return ismissing(x) ? 1 : 0; }
int api_getmacro(const char* name, char* buf, size_t size) {
  if (!name || !buf || !size) return RC_SYNTAX;
  const std::string* t = macptr(name);
  const size_t k = t ? std::min(t->size(), size - 1) : 0;
  if (k) std::memcpy(buf, t->data(), k);
  buf[k] = 0;
  return 0;
}
int api_putmacro(const char* name, const char* text) {
  if (!name || !text || !*name) return RC_SYNTAX;
  return macsave(name, text);
}
int api_getscalar(const char* name, double* x) {
  if (!name) return RC_SYNTAX;
  const NamedScalar* s = scalar_find(name);
  if (!s || s->isstr) return RC_NOTFOUND;
  *x = s->d;
  return 0;
}
int api_putscalar(const char* name, double x) {
  if (!name || !*name) return RC_SYNTAX;
  NamedScalar s;
  s.d = x;
  return scalar_set(name, s);
}
int api_matsize(const char* name, int* rows, int* cols) {
  const Matrix* m = name ? mat_find(name) : nullptr;
  if (!m) return RC_NOTFOUND;
  *rows = m->rows;
  *cols = m->cols;
  return 0;
}
int api_getmatel(const char* name, int row, int col, double* x) {
  const Matrix* m = name ? mat_find(name) : nullptr;
  if (!m) return RC_NOTFOUND;
  if (row < 1 || row > m->rows || col < 1 || col > m->cols) return RC_CONFORM;
  *x = m->at(row - 1, col - 1);
  return 0;
}
int api_putmatel(const char* name, int row, int col, double x) {
  const Matrix* m = name ? mat_find(name) : nullptr;
  if (!m) return RC_NOTFOUND;
  if (row < 1 || row > m->rows || col < 1 || col > m->cols) return RC_CONFORM;
  Matrix c = *m;
  c.at(row - 1, col - 1) = x;
  c.sym = false;
  return mat_store(name, std::move(c));
}
int api_makematrix(const char* name, int rows, int cols) {
  if (!name || !*name || rows < 1 || cols < 1) return RC_SYNTAX;
  return mat_store(name, mat_make(rows, cols, 0));
}
void api_display(const char* text) {
  if (text) spout21(text);
}
void api_errortext(const char* text) {
  if (!text) return;
  const int prev = setoutlev(OUT_ERROR);
  spout21(text);
  setoutlev(prev);
}
int api_pollbreak() { return ds_pollbreak() ? 1 : 0; }

const zelta_api api = {ZELTA_PLUGIN_VERSION, api_nvars,    api_nobs,      api_in1,      api_in2,
                       api_selected,         api_isstring, api_getnum,    api_putnum,   api_getstr,
                       api_putstr,           api_missval,  api_ismissing, api_getmacro, api_putmacro,
                       api_getscalar,        api_putscalar, api_matsize,  api_getmatel, api_putmatel,
                       api_makematrix,       api_display,  api_errortext, api_pollbreak};

// Splits the argument text into words (double quotes group and are removed).
std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    if (i >= s.size()) break;
    std::string w;
    if (s[i] == '"') {
      const size_t j = s.find('"', i + 1);
      w = s.substr(i + 1, (j == std::string::npos ? s.size() : j) - i - 1);
      i = j == std::string::npos ? s.size() : j + 1;
    } else {
      const size_t j = std::min(s.find(' ', i), s.size());
      w = s.substr(i, j - i);
      i = j;
    }
    out.push_back(w);
  }
  return out;
}

// plugin call name [varlist] [if] [in] [, args]
int cmd_plugin(int) {
  std::string sub = gettok(" ,");
  if (sub != "call") return errmsgf(RC_SYNTAX, "plugin call expected\n");
  const std::string name = gettok(" ,");
  if (name.empty()) return required("plug-in name");
  auto it = pls.loaded.find(name);
  if (it == pls.loaded.end() || !pgmfind(name.c_str(), 2))
    return errmsgf(RC_NOTFOUND, "plugin %s not found\n", name.c_str());
  std::string before, after;
  bool hascomma;
  fa_splitcomma(wheretok(), before, after, &hascomma);
  settok(before.c_str());
  ParseResult pr;
  if (int rc = parse({}, pr)) return rc;
  pls.vars = pr.hasvarlist ? vl.varlist_vr : std::vector<int>{};
  pls.in1 = ds.nobs1;
  pls.in2 = ds.nobs2;
  pls.sel.assign(static_cast<size_t>(std::max(0L, pls.in2 - pls.in1 + 1)), 0);
  for (long i = pls.in1; i <= pls.in2; i += EXPR_BLOCK) {
    const long k = std::min(EXPR_BLOCK, pls.in2 - i + 1);
    selobs_block(i, k, pls.sel.data() + (i - pls.in1));
  }
  std::vector<std::string> args = words(after);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int rc = it->second.call(&api, static_cast<int>(args.size()), argv.data());
  pls.vars.clear();
  pls.sel.clear();
  if (rc < 0 || rc > 32767) return errmsgf(RC_SYNTAX, "plugin %s returned %d, not a return code\n", name.c_str(), rc);
  return rc;
}

}  // namespace

int plugin_load(const std::string& name, const std::string& file) {
  std::string path = file;
  struct stat st;
  if (path.find('/') == std::string::npos) path = "./" + path;
  if (::stat(path.c_str(), &st) != 0) return fierr(RC_FILENOTFOUND, file.c_str());
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* e = dlerror();
    return errmsgf(RC_FILEFORMAT, "%s could not be loaded as a plug-in: %s\n", file.c_str(), e ? e : "");
  }
  auto version = reinterpret_cast<VersionFn>(dlsym(h, "zelta_plugin_version"));
  auto call = reinterpret_cast<CallFn>(dlsym(h, "zelta_plugin_call"));
  if (!version || !call) {
    dlclose(h);
    return errmsgf(RC_FILEFORMAT, "%s is not a plug-in: zelta_plugin_version or zelta_plugin_call missing\n",
                   file.c_str());
  }
  const int v = version();
  if (v != ZELTA_PLUGIN_VERSION) {
    dlclose(h);
    return errmsgf(RC_FILEFORMAT,
                   "%s was built for plug-in interface version %d; this system provides version %d\n",
                   file.c_str(), v, ZELTA_PLUGIN_VERSION);
  }
  pls.loaded[name] = Loaded{h, call};
  return 0;
}

void plugin_reset() {
  for (auto& [name, l] : pls.loaded)
    if (l.handle) dlclose(l.handle);
  pls = PluginState{};
}

void interp_bindplugin() { cmdbind("plugin", cmd_plugin); }
