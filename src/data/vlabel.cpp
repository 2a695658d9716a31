// The value-label store: tables by name, each an ascending array of values
// with a parallel array of texts, and the lookups that output, expressions
// and the dataset file reader and writer use.
#include "data/vlabel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "data/store.h"
#include "output/errors.h"

VlState vls;

const ValueLabel* vlfind(const std::string& name) {
  auto it = vls.tabs.find(name);
  return it == vls.tabs.end() ? nullptr : &it->second;
}

ValueLabel& vlcreate(const std::string& name) { return vls.tabs[name]; }

int vlfindval(const ValueLabel& lab, int32_t value) {
  auto it = std::lower_bound(lab.val.begin(), lab.val.end(), value);
  int i = static_cast<int>(it - lab.val.begin());
  if (it != lab.val.end() && *it == value) return i;
  return ~i;
}

const std::string* vltext(const ValueLabel& lab, double x) {
  if (!(x >= VL_MINVAL && x <= VL_MAXVAL) || x != std::trunc(x)) return nullptr;
  int i = vlfindval(lab, static_cast<int32_t>(x));
  return i >= 0 ? &lab.txt[static_cast<size_t>(i)] : nullptr;
}

int vlset(ValueLabel& lab, int32_t value, const std::string& text) {
  int i = vlfindval(lab, value);
  if (i >= 0) {
    auto k = static_cast<size_t>(i);
    if (text.empty()) {
      lab.val.erase(lab.val.begin() + i);
      lab.txt.erase(lab.txt.begin() + i);
    } else {
      lab.txt[k] = text.substr(0, VL_MAXTXT);
    }
    return 0;
  }
  if (text.empty()) return 0;
  if (lab.n() >= VL_MAXN) return error(RC_TOOMANYVALUES);
  int at = ~i;
  lab.val.insert(lab.val.begin() + at, value);
  lab.txt.insert(lab.txt.begin() + at, text.substr(0, VL_MAXTXT));
  return 0;
}

double vlsearch(const ValueLabel& lab, const std::string& text) {
  for (size_t i = 0; i < lab.txt.size(); ++i)
    if (lab.txt[i] == text) return lab.val[i];
  return misval;
}

void vlgetofi(const ValueLabel& lab, int i, int32_t* value, const std::string** text) {
  *value = lab.val[static_cast<size_t>(i)];
  *text = &lab.txt[static_cast<size_t>(i)];
}

int vlmaxlen(const ValueLabel& lab) {
  size_t m = 0;
  for (const auto& t : lab.txt) m = std::max(m, t.size());
  return static_cast<int>(m);
}

void vldrop(const std::string& name) { vls.tabs.erase(name); }

void vldropall() { vls.tabs.clear(); }

bool vlvartext(int var, double x, std::string& out) {
  const std::string& name = ds.lbllist[static_cast<size_t>(var)];
  if (name.empty() || isstrtype(vartype(var))) return false;
  const ValueLabel* lab = vlfind(name);
  if (!lab) return false;
  const std::string* t = vltext(*lab, x);
  if (!t) return false;
  out = *t;
  return true;
}

void vlpack(const ValueLabel& lab, VlPacked& out) {
  out.off.clear();
  out.val = lab.val;
  out.txt.clear();
  for (const auto& t : lab.txt) {
    out.off.push_back(static_cast<int32_t>(out.txt.size()));
    out.txt += t;
    out.txt.push_back('\0');
  }
}

int vlunpack(const std::string& name, const int32_t* off, const int32_t* val, int n, const char* txt,
             size_t txtlen) {
  if (n < 0 || n > VL_MAXN) return RC_FILEFORMAT;
  for (int i = 0; i < n; ++i)
    if (off[i] < 0 || static_cast<size_t>(off[i]) >= txtlen) return RC_FILEFORMAT;
  ValueLabel lab;
  bool ascending = true;
  for (int i = 1; i < n && ascending; ++i) ascending = val[i - 1] < val[i];
  auto text = [&](int i) {
    const char* s = txt + off[i];
    size_t room = txtlen - static_cast<size_t>(off[i]);
    const void* z = std::memchr(s, 0, room);
    size_t len = z ? static_cast<size_t>(static_cast<const char*>(z) - s) : room;
    return std::string(s, std::min(len, VL_MAXTXT));
  };
  if (ascending) {
    lab.val.assign(val, val + n);
    lab.txt.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) lab.txt.push_back(text(i));
  } else {
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return val[a] < val[b]; });
    for (size_t k = 0; k < order.size(); ++k) {
      int i = order[k];
      if (k + 1 < order.size() && val[order[k + 1]] == val[i]) continue;  // a later duplicate wins
      lab.val.push_back(val[i]);
      lab.txt.push_back(text(i));
    }
  }
  vls.tabs[name] = std::move(lab);
  return 0;
}

void vlfixfmts(const std::string& name) {
  const ValueLabel* lab = vlfind(name);
  if (!lab) return;
  const int need = vlmaxlen(*lab);
  for (int v = 1; v <= ds.nvar; ++v) {
    if (ds.lbllist[static_cast<size_t>(v)] != name || isstrtype(vartype(v))) continue;
    std::string& f = ds.fmtlist[static_cast<size_t>(v)];
    // %[-][0]W.D{g,f,e}[c]: only plain numeric formats are widened.
    size_t i = 1;
    while (i < f.size() && (f[i] == '-' || f[i] == '0')) ++i;
    size_t w0 = i;
    while (i < f.size() && f[i] >= '0' && f[i] <= '9') ++i;
    if (i == w0 || i >= f.size() || f[i] != '.') continue;
    size_t e = f.find_first_of("gfe", i);
    if (e == std::string::npos) continue;
    int w = std::stoi(f.substr(w0, i - w0));
    if (w >= need) continue;
    char nf[32];
    int len = std::snprintf(nf, sizeof nf, "%.*s%d%s", static_cast<int>(w0), f.c_str(), need, f.c_str() + i);
    if (len > 0 && len <= 11) f = nf;
  }
}

int vlexprcode(const std::string& lbl, const std::string& text, double* code) {
  const ValueLabel* lab = vlfind(lbl);
  if (!lab) return 1;
  double x = vlsearch(*lab, text);
  if (x >= misval) return 1;
  *code = x;
  return 0;
}
