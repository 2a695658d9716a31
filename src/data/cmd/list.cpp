// `list` and `describe`, and the cell formatter they share. `list` draws a
// boxed table (or a clean one) of the observations in range, and falls back
// to one block per observation when the row would be wider than the line.
// Cells are shown under their variables' display formats, trimmed so the
// columns fit the values.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/arena.h"
#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "output/textwidth.h"
#include "platform/platform.h"

int dsfmtwidth(const std::string& fmt) {
  size_t i = 1;
  if (i < fmt.size() && fmt[i] == '-') ++i;
  if (i < fmt.size() && fmt[i] == '~') ++i;
  int w = 0;
  while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') w = w * 10 + (fmt[i++] - '0');
  return w;
}

bool dsfmtleft(const std::string& fmt) { return fmt.size() > 1 && fmt[1] == '-'; }

std::string dsfmtnum(const std::string& fmt, double x) {
  std::string s = sreforms(fmt.c_str(), x);
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

std::string dsfmtcell(int var, long obs) {
  int t = vartype(var);
  const std::string& fmt = ds.fmtlist[static_cast<size_t>(var)];
  if (isstrtype(t)) {
    std::string s;
    szelta_data(var, obs, s);
    return s;
  }
  return dsfmtnum(fmt, zelta_data(var, obs));
}

namespace {

void putline(const std::string& s) {
  std::string t = s;
  while (!t.empty() && t.back() == ' ') t.pop_back();
  t += '\n';
  spout21(t.c_str());
}

// s cut or padded to w display columns.
std::string pad(const std::string& s, int w, bool left) {
  if (u8width(s) >= w) return s.substr(0, u8fit(s, w));
  return u8pad(s, w, left ? -1 : 1);
}

struct Col {
  int var;
  size_t entry;       // index in the current list (for operated entries)
  std::string head;
  int width;
  bool left;
  bool labels;        // value labels replace the codes they map
};

// The value of list entry e at obs as text.
std::string celltext(const Col& c, long obs) {
  const TsRecipe& r = vl.varlist_rcp[c.entry];
  if (r.plain()) {
    std::string s;
    if (!c.labels || !vlvartext(c.var, zelta_data(c.var, obs), s)) s = dsfmtcell(c.var, obs);
    if (u8width(s) > c.width && isstrtype(vartype(c.var))) s = s.substr(0, u8fit(s, c.width - 1)) + "~";
    return s;
  }
  return dsfmtnum(ds.fmtlist[static_cast<size_t>(c.var)], rzelta_data(static_cast<int>(c.entry), obs));
}

int cmd_list(int) {
  ParseResult pr;
  if (int rc = parse({.tsops = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  bool noobs = findopt(pr, "obs", 3, 1) == 0;
  bool clean = findopt(pr, "clean", 5, 0) == 1;
  bool noheader = findopt(pr, "header", 6, 1) == 0;
  bool labels = findopt(pr, "label", 3, 1) == 1;
  long sep = findopta(pr, "separator", 3, 5);
  if (int rc = chkopt(pr)) return rc;
  if (sep < 0) sep = 0;
  if (!pr.hasvarlist) {
    if (ssvlist_all()) return 0;
  }
  std::vector<long> obs;
  for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
    if (stopflag) return 1;
    if (selobs(i)) obs.push_back(i);
  }
  if (obs.empty() || vl.lnvar() == 0) return 0;
  // Column widths from the values shown and the (abbreviated) names.
  std::vector<Col> cols;
  for (size_t e = 0; e < static_cast<size_t>(vl.lnvar()); ++e) {
    int v = vl.varlist_vr[e];
    std::string name = varname(v);
    std::string rt = tsrecipe_text(vl.varlist_rcp[e]);
    if (!rt.empty()) name = rt + "." + name;
    const std::string& fmt = ds.fmtlist[static_cast<size_t>(v)];
    bool isstr = isstrtype(vartype(v));
    int w = 1;
    Col c{v, e, "", 0, isstr && dsfmtleft(fmt), labels};
    c.width = 1000;
    for (long i : obs) w = std::max(w, u8width(celltext(c, i)));
    if (isstr) w = std::min(w, std::max(dsfmtwidth(fmt), static_cast<int>(vartype(v))));
    int hw = static_cast<int>(name.size());
    if (hw > std::max(w, 8)) hw = std::max(w, 8);
    c.head = abvar(name, hw);
    c.width = std::max(w, static_cast<int>(c.head.size()));
    cols.push_back(c);
  }
  // Under by, observations are numbered within their group.
  const long base = ex.grp1 > 0 ? ex.grp1 - 1 : 0;
  long lastobs = obs.back() - base;
  int ndig = static_cast<int>(std::to_string(lastobs).size());
  int prefix = noobs ? 2 : std::max(3, ndig) + 2;
  std::string indent(static_cast<size_t>(prefix), ' ');
  auto obslabel = [&](long i) {
    if (noobs) return indent;
    std::string s = std::to_string(i - base) + ".";
    return pad(s, prefix - 1, false) + " ";
  };
  auto rowtext = [&](const std::vector<Col>& cs, size_t a, size_t b, bool head, long i) {
    std::string s;
    for (size_t k = a; k < b; ++k) {
      if (k > a) s += "   ";
      const Col& c = cs[k];
      s += head ? pad(c.head, c.width, c.left) : pad(celltext(c, i), c.width, c.left);
    }
    return s;
  };
  int linesize = out.linesize > 0 ? out.linesize : 80;
  std::string full = rowtext(cols, 0, cols.size(), true, 0);
  int tablew = prefix + 2 + static_cast<int>(full.size()) + 2;
  // The same table cell by cell, untruncated, for destinations that draw it.
  OutTableScope rich;
  if (rich.on) {
    if (!noobs) rich.t.head.emplace_back(""), rich.t.stubcols = 1;
    for (Col c : cols) {
      std::string rt = tsrecipe_text(vl.varlist_rcp[c.entry]);
      rich.t.head.push_back((rt.empty() ? "" : rt + ".") + varname(c.var));
    }
    for (long i : obs) {
      std::vector<std::string> row;
      if (!noobs) row.push_back(std::to_string(i - base));
      for (Col c : cols) {
        c.width = 100000;
        row.push_back(celltext(c, i));
      }
      rich.t.rows.push_back(std::move(row));
    }
  }
  putline("");
  if (clean) {
    if (!noheader) putline(indent + "  " + full);
    for (long i : obs) {
      if (stopflag) return 1;
      putline(obslabel(i) + "  " + rowtext(cols, 0, cols.size(), false, i));
    }
    return 0;
  }
  if (tablew <= linesize) {
    std::string dash(full.size() + 2, '-');
    putline(indent + "+" + dash + "+");
    if (!noheader) {
      putline(indent + "| " + full + " |");
      putline(indent + "|" + dash + "|");
    }
    long n = 0;
    for (long i : obs) {
      if (stopflag) return 1;
      if (sep && n && n % sep == 0) putline(indent + "|" + dash + "|");
      putline(obslabel(i) + "| " + rowtext(cols, 0, cols.size(), false, i) + " |");
      ++n;
    }
    putline(indent + "+" + dash + "+");
    return 0;
  }
  // Blocks: one box per observation, the variables packed into lines.
  int inner = std::max(10, linesize - prefix - 4);
  std::vector<std::pair<size_t, size_t>> lines;
  for (size_t a = 0; a < cols.size();) {
    size_t b = a;
    int used = 0;
    while (b < cols.size()) {
      int w = std::min(cols[b].width, inner);
      int need = (b > a ? 3 : 0) + w;
      if (b > a && used + need > inner) break;
      used += need;
      ++b;
    }
    lines.emplace_back(a, b);
    a = b;
  }
  for (auto& c : cols) c.width = std::min(c.width, inner);
  std::string dash(static_cast<size_t>(inner) + 2, '-');
  putline(indent + "+" + dash + "+");
  for (long i : obs) {
    if (stopflag) return 1;
    for (size_t k = 0; k < lines.size(); ++k) {
      if (k) putline(indent + "|" + dash + "|");
      std::string h = pad(rowtext(cols, lines[k].first, lines[k].second, true, 0), inner, true);
      std::string v = pad(rowtext(cols, lines[k].first, lines[k].second, false, i), inner, true);
      putline((k == 0 ? obslabel(i) : indent) + "| " + h + " |");
      putline(indent + "| " + v + " |");
    }
    putline(indent + "+" + dash + "+");
  }
  return 0;
}

int cmd_describe(int) {
  ParseResult pr;
  if (int rc = parse({.ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  bool shortform = findopt(pr, "short", 1, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (!pr.hasvarlist) (void)ssvlist_all();
  int linesize = out.linesize > 0 ? out.linesize : 80;
  std::string rule(static_cast<size_t>(linesize - 1), '-');
  long size = ds.nobs * ds.lrecl;
  double freepct = 100.0 * (1.0 - static_cast<double>(size) / static_cast<double>(memory_reported()));
  putline("");
  putline("Contains data");
  char buf[200];
  if (!ds.datalbl.empty()) {
    std::snprintf(buf, sizeof buf, "  obs:%14s                          %s", fmt_commas(ds.nobs).c_str(), ds.datalbl.c_str());
  } else {
    std::snprintf(buf, sizeof buf, "  obs:%14s", fmt_commas(ds.nobs).c_str());
  }
  putline(buf);
  std::snprintf(buf, sizeof buf, " vars:%14s", fmt_commas(ds.nvar).c_str());
  putline(buf);
  std::snprintf(buf, sizeof buf, " size:%14s (%.1f%% of memory free)", fmt_commas(size).c_str(), freepct);
  putline(buf);
  if (!shortform && vl.lnvar() > 0) {
    putline(rule);
    putline("              storage  display     value");
    putline("variable name   type   format      label      variable label");
    putline(rule);
    for (int k = 0; k < vl.lnvar(); ++k) {
      int v = vl.varlist_vr[static_cast<size_t>(k)];
      std::string name = varname(v);
      if (name.size() > 15) name = abvar(name, 15);
      std::string line = pad(name, 15, true) + " " + pad(typename_of(vartype(v)), 7, true) + pad(ds.fmtlist[static_cast<size_t>(v)], 12, true) +
                         pad(ds.lbllist[static_cast<size_t>(v)], 11, true) + ds.varlabels[static_cast<size_t>(v)];
      putline(line);
    }
  }
  putline(rule);
  std::string sorted = "Sorted by:";
  for (int s : ds.srtlist) sorted += "  " + varname(s);
  putline(sorted);
  if (ds.updata) putline("     Note:  dataset has changed since last saved");
  return 0;
}

}  // namespace

// Makes the current list every variable (except "(e)"); true when there is none.
bool ssvlist_all() {
  vl = VarlistState{};
  for (int v = 1; v <= ds.nvar; ++v)
    if (ds.varlist[static_cast<size_t>(v)] != "(e)" && !ds.varlist[static_cast<size_t>(v)].empty()) {
      vl.varlist_vr.push_back(v);
      vl.varlist_rcp.emplace_back();
    }
  return vl.varlist_vr.empty();
}

void data_bindlist() {
  cmdbind("list", cmd_list, 0);
  cmdbind("flist", cmd_list, 1);
  cmdbind("_describe", cmd_describe, 0);
}
