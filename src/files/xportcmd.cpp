// fdasave, fdause and fdadescribe: the dataset to and from a version 5
// transport file (the layout and number conversion are in xport.cpp). Names
// longer than 8 characters are refused or shortened uniquely, labels cut to
// 40, display formats mapped to the format's names where one corresponds,
// and value labels written to a companion file formats.xpf beside the data
// (read back by fdause when it is there).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "data/vlabel.h"
#include "files/files.h"
#include "files/xport.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "results/results.h"

namespace {

constexpr const char* FORMATSFILE = "formats.xpf";  // companion file of value labels

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The folder part of fn, with its slash ("" for none).
std::string folderof(const std::string& fn) {
  const size_t sl = fn.rfind('/');
  return sl == std::string::npos ? std::string() : fn.substr(0, sl + 1);
}

// A display format as the transport format's name, width and decimals;
// false when it has no counterpart (the variable then has no format).
bool fmt_out(const std::string& f, bool isstr, XptVar& v) {
  FmtInfo fi;
  if (chkfmt(f.c_str(), FMTK_ANY, &fi)) return false;
  if (isstr) {
    if (fi.letter != 's') return false;
    v.fmt = '$';
    v.fmtw = fi.width;
    return true;
  }
  if (fi.letter == 'd' && fi.tsunit == 'd') {
    v.fmt = "DATE";
    v.fmtw = 9;
    return true;
  }
  if (fi.letter == 'd' || fi.letter == 's' || fi.width > 32) return false;
  if (fi.letter == 'g') {
    v.fmt = "BEST";
    v.fmtw = fi.width;
  } else if (fi.letter == 'f') {
    v.fmt = fi.comma == 'c' ? "COMMA" : "F";
    v.fmtw = fi.width;
    v.fmtd = fi.decimals;
  } else if (fi.letter == 'e') {
    v.fmt = "E";
    v.fmtw = std::max(fi.width, 7);
  } else {
    return false;
  }
  return true;
}

// The display format for a transport format name, or "" (the default).
std::string fmt_in(const XptVar& v) {
  const std::string n = upper(v.fmt);
  char buf[32] = "";
  const int w = v.fmtw, d = v.fmtd;
  if (v.isstr) {
    if (n == "$" && w >= 1 && w <= 244) std::snprintf(buf, sizeof buf, "%%%ds", w);
  } else if (n == "DATE" || n == "MMDDYY" || n == "DDMMYY" || n == "YYMMDD" || n == "E8601DA" || n == "YYMMDDN") {
    return "%td";
  } else if (w >= 1 && w <= 32 && d >= 0 && d < w) {
    if (n == "BEST") std::snprintf(buf, sizeof buf, "%%%d.0g", w);
    else if (n == "F" || n.empty()) std::snprintf(buf, sizeof buf, "%%%d.%df", w, d);
    else if (n == "COMMA") std::snprintf(buf, sizeof buf, "%%%d.%dfc", w, d);
    else if (n == "E") std::snprintf(buf, sizeof buf, "%%%d.%de", w, std::max(0, std::min(w - 7, 16)));
  }
  return chkfmt(buf, FMTK_ANY) ? std::string() : std::string(buf);
}

// Names of up to 8 characters for the variables: their own, or with rename
// the first 8 characters, made unique with a number at the end. 0, or 198
// printed listing the longer names when rename is off.
int shortnames(bool rename, std::vector<std::string>& out) {
  std::string longer;
  out.assign(static_cast<size_t>(ds.nvar), {});
  std::vector<std::string> taken;
  for (int v = 1; v <= ds.nvar; ++v)
    if (varname(v).size() <= XPT_NAMELEN) {
      out[static_cast<size_t>(v - 1)] = varname(v);
      taken.push_back(upper(varname(v)));
    } else {
      longer += " " + varname(v);
    }
  if (longer.empty()) return 0;
  if (!rename)
    return errmsgf(RC_SYNTAX,
                   "variable names longer than %zu characters:%s\n(option rename writes them shortened)\n",
                   XPT_NAMELEN, longer.c_str());
  // Names compare without case: other programs read them in capitals.
  for (int v = 1; v <= ds.nvar; ++v) {
    std::string& o = out[static_cast<size_t>(v - 1)];
    if (!o.empty()) continue;
    std::string c = varname(v).substr(0, XPT_NAMELEN);
    for (int k = 1; std::find(taken.begin(), taken.end(), upper(c)) != taken.end(); ++k) {
      const std::string num = std::to_string(k);
      c = varname(v).substr(0, XPT_NAMELEN - num.size()) + num;
    }
    o = c;
    taken.push_back(upper(c));
    spout21f("(%s written as %s)\n", varname(v).c_str(), c.c_str());
  }
  return 0;
}

// The format name a value label is written under: its name cut to 8
// characters, unique (without regard to case) among those already given.
std::string lblformat(const std::string& lbl, std::map<std::string, std::string>& given) {
  auto it = given.find(lbl);
  if (it != given.end()) return it->second;
  std::string c = lbl.substr(0, XPT_NAMELEN);
  const auto used = [&](const std::string& s) {
    for (const auto& g : given)
      if (upper(g.second) == upper(s)) return true;
    return false;
  };
  for (int k = 1; used(c); ++k) {
    const std::string num = std::to_string(k);
    c = lbl.substr(0, XPT_NAMELEN - num.size()) + num;
  }
  given[lbl] = c;
  return c;
}

// The companion file of value labels: one row per mapping of the labels
// attached to the variables written (FMTNAME, START, END, LABEL, TYPE).
int writelabels(const std::string& fn, const std::map<std::string, std::string>& given) {
  XptData d;
  d.dsname = "FORMATS";
  const char* names[] = {"FMTNAME", "START", "END", "LABEL", "TYPE"};
  const int lens[] = {8, 16, 16, 200, 1};
  d.str.assign(5, {});
  d.num.assign(5, {});
  for (int k = 0; k < 5; ++k) {
    XptVar v;
    v.name = names[k];
    v.isstr = true;
    v.len = lens[k];
    d.vars.push_back(v);
  }
  for (const auto& g : given) {
    const ValueLabel* lab = vlfind(g.first);
    if (!lab) continue;
    for (int i = 0; i < lab->n(); ++i) {
      const std::string val = std::to_string(lab->val[static_cast<size_t>(i)]);
      d.str[0].push_back(g.second);
      d.str[1].push_back(val);
      d.str[2].push_back(val);
      d.str[3].push_back(lab->txt[static_cast<size_t>(i)].substr(0, 200));
      d.str[4].push_back("N");
      ++d.nobs;
    }
  }
  std::vector<unsigned char> out;
  long nr, nb;
  xpt_build(d, out, &nr, &nb);
  return fa_writefile(fn, out.data(), out.size());
}

// fdasave filename [, replace rename vallabfile]
int cmd_fdasave(int) {
  ParseResult pr;
  std::string before;
  if (int rc = fa_cmdline(pr, before)) return rc;
  const bool replace = findopt(pr, "replace", 7, 0) == 1;
  const bool rename = findopt(pr, "rename", 6, 0) == 1;
  const bool vallab = findopt(pr, "vallabfile", 6, 0) == 1;
  std::string fn;
  if (int rc = fa_lastfile(pr, before, ".xpt", false, false, fn)) return rc;
  if (ds.nvar == 0) return error(RC_NOVARS);
  if (ds.nvar > XPT_MAXVARS)
    return errmsgf(RC_TOOMANYVARS, "the transport format holds at most %d variables\n", XPT_MAXVARS);
  struct stat st;
  if (!replace && ::stat(fn.c_str(), &st) == 0) return fierr(RC_FILEEXISTS, fn.c_str());
  const std::string ffn = folderof(fn) + FORMATSFILE;
  if (vallab && !replace && ::stat(ffn.c_str(), &st) == 0) return fierr(RC_FILEEXISTS, ffn.c_str());
  // Strings wider than the format's widest field are refused unless every
  // value fits.
  std::string wide;
  std::vector<int> strlen_(static_cast<size_t>(ds.nvar) + 1, 0);
  for (int v = 1; v <= ds.nvar; ++v) {
    if (!isstrtype(vartype(v))) continue;
    int w = vartype(v);
    if (w > XPT_MAXSTR) {
      w = 1;
      std::string s;
      for (long i = 1; i <= ds.nobs; ++i) {
        szelta_data(v, i, s);
        w = std::max(w, static_cast<int>(s.size()));
      }
      if (w > XPT_MAXSTR) wide += " " + varname(v);
      w = std::min(w, XPT_MAXSTR);
    }
    strlen_[static_cast<size_t>(v)] = w;
  }
  if (!wide.empty())
    return errmsgf(RC_SYNTAX, "strings longer than %d characters, the transport format's longest:%s\n", XPT_MAXSTR,
                   wide.c_str());
  std::vector<std::string> names;
  if (int rc = shortnames(rename, names)) return rc;
  XptData d;
  {
    std::string base = fn.substr(fn.rfind('/') == std::string::npos ? 0 : fn.rfind('/') + 1);
    base = base.substr(0, base.find('.'));
    for (char& c : base)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    if (base.empty() || std::isdigit(static_cast<unsigned char>(base[0]))) base = "_" + base;
    d.dsname = upper(base.substr(0, XPT_NAMELEN));
  }
  d.dslabel = ds.datalbl.substr(0, XPT_LABELLEN);
  d.nobs = ds.nobs;
  std::string cut;
  std::map<std::string, std::string> given;  // value label -> format name
  bool droplabels = false;
  fa_getcolumns(d.num, d.str);
  for (int v = 1; v <= ds.nvar; ++v) {
    XptVar x;
    const size_t k = static_cast<size_t>(v - 1);
    x.name = names[k];
    x.isstr = isstrtype(vartype(v));
    x.len = x.isstr ? strlen_[static_cast<size_t>(v)] : 8;
    x.label = ds.varlabels[static_cast<size_t>(v)];
    if (x.label.size() > XPT_LABELLEN) {
      x.label.resize(XPT_LABELLEN);
      cut += " " + varname(v);
    }
    (void)fmt_out(ds.fmtlist[static_cast<size_t>(v)], x.isstr, x);
    const std::string& lbl = ds.lbllist[static_cast<size_t>(v)];
    if (!x.isstr && !lbl.empty() && vlfind(lbl)) {
      if (vallab) {
        x.fmt = lblformat(lbl, given);
        x.fmtw = x.fmtd = 0;
      } else {
        droplabels = true;
      }
    }
    d.vars.push_back(std::move(x));
  }
  if (ds.datalbl.size() > XPT_LABELLEN) spout21f("(note: the dataset label is cut to %zu characters)\n", XPT_LABELLEN);
  if (!cut.empty()) spout21f("(note: labels cut to %zu characters:%s)\n", XPT_LABELLEN, cut.c_str());
  if (droplabels) spout21f("(note: value labels not written; option vallabfile writes them to %s)\n", FORMATSFILE);
  std::vector<unsigned char> bytes;
  long nround = 0, nbig = 0;
  xpt_build(d, bytes, &nround, &nbig);
  if (nround) spout21f("(note: %ld value%s below the smallest magnitude the format holds rounded)\n", nround, nround == 1 ? "" : "s");
  if (nbig) spout21f("(note: %ld value%s beyond the largest magnitude the format holds written as that magnitude)\n", nbig, nbig == 1 ? "" : "s");
  if (int rc = fa_writefile(fn, bytes.data(), bytes.size())) return rc;
  if (vallab && !given.empty()) {
    if (int rc = writelabels(ffn, given)) return rc;
    spout21f("(value labels written to %s)\n", ffn.c_str());
  }
  (void)fierr(RC_FILESAVED, fn.c_str());
  return 0;
}

// Reads and parses a transport file. 0, or a printed code (601, 603, 610,
// 612, 688).
int loadfile(const std::string& fn, XptData& d) {
  std::vector<unsigned char> buf;
  if (int rc = fa_readall(fn, buf)) return rc;
  std::string msg;
  if (int rc = xpt_parse(buf.data(), buf.size(), d, msg)) return errmsgf(rc, "file %s: %s\n", fn.c_str(), msg.c_str());
  return 0;
}

// Value labels of the companion file beside fn, by format name. Absent or
// unreadable companions give none (the data are still read).
std::map<std::string, ValueLabel> companionlabels(const std::string& fn) {
  std::map<std::string, ValueLabel> out;
  const std::string ffn = folderof(fn) + FORMATSFILE;
  struct stat st;
  if (::stat(ffn.c_str(), &st) != 0) return out;
  XptData f;
  int prev = setoutlev(5);
  const int rc = loadfile(ffn, f);
  setoutlev(prev);
  if (rc) return out;
  int cn = -1, cs = -1, cl = -1;
  for (size_t k = 0; k < f.vars.size(); ++k) {
    const std::string n = upper(f.vars[k].name);
    if (n == "FMTNAME" && f.vars[k].isstr) cn = static_cast<int>(k);
    if (n == "START") cs = static_cast<int>(k);
    if (n == "LABEL" && f.vars[k].isstr) cl = static_cast<int>(k);
  }
  if (cn < 0 || cs < 0 || cl < 0) return out;
  for (long i = 0; i < f.nobs; ++i) {
    const size_t r = static_cast<size_t>(i);
    double x;
    if (f.vars[static_cast<size_t>(cs)].isstr) {
      char* e = nullptr;
      const std::string& s = f.str[static_cast<size_t>(cs)][r];
      x = std::strtod(s.c_str(), &e);
      if (s.empty() || *e) continue;
    } else {
      x = f.num[static_cast<size_t>(cs)][r];
    }
    if (!(x >= VL_MINVAL && x <= VL_MAXVAL) || x != std::trunc(x)) continue;
    ValueLabel& lab = out[upper(f.str[static_cast<size_t>(cn)][r])];
    (void)vlset(lab, static_cast<int32_t>(x), f.str[static_cast<size_t>(cl)][r]);
  }
  return out;
}

// Replaces the dataset by d (set aside first, so a failure leaves the old
// one). 0 or a printed code.
int install(const XptData& d, const std::map<std::string, ValueLabel>& labels) {
  for (const XptVar& v : d.vars)
    if (!fa_goodname(v.name)) return errmsgf(RC_CORRUPT, "variable name '%s' invalid in the file\n", v.name.c_str());
  DsAside a;
  if (int rc = ds_aside(a)) return rc;
  int rc = 0;
  std::vector<std::string> used;
  for (size_t k = 0; k < d.vars.size() && !rc; ++k) {
    const XptVar& v = d.vars[k];
    int type;
    if (v.isstr) {
      int w = 1;
      for (const std::string& s : d.str[k]) w = std::max(w, static_cast<int>(s.size()));
      type = std::min(std::max(w, std::min(v.len, 244)), 244);
    } else {
      type = fa_besttype(d.num[k]);
    }
    rc = addvar(v.name.c_str(), type);
    if (rc) break;
    const size_t n = static_cast<size_t>(ds.nvar);
    ds.varlabels[n] = v.label;
    std::string f = fmt_in(v);
    if (!v.isstr && labels.count(upper(v.fmt))) {
      ds.lbllist[n] = v.fmt;
      used.push_back(v.fmt);
      f.clear();
    }
    if (!f.empty()) ds.fmtlist[n] = f;
  }
  if (int e = fa_install(a, rc, d.num, d.str, d.nobs, d.dslabel)) return e;
  for (const std::string& u : used) {
    vldrop(u);
    vlcreate(u) = labels.at(upper(u));
  }
  return 0;
}

// fdause filename [, clear]
int cmd_fdause(int) {
  ParseResult pr;
  std::string before;
  if (int rc = fa_cmdline(pr, before)) return rc;
  const bool clear = findopt(pr, "clear", 5, 0) == 1;
  std::string fn;
  if (int rc = fa_lastfile(pr, before, ".xpt", true, clear, fn)) return rc;
  XptData d;
  if (int rc = loadfile(fn, d)) return rc;
  if (int rc = install(d, companionlabels(fn))) return rc;
  if (d.nunderscore) spout21f("(note: %ld value%s of ._ read as .)\n", d.nunderscore, d.nunderscore == 1 ? "" : "s");
  if (d.nmembers > 1) spout21f("(note: the file holds %d datasets; the first, %s, was read)\n", d.nmembers, d.dsname.c_str());
  return 0;
}

// fdadescribe filename: the first member's variables without loading it.
int cmd_fdadescribe(int) {
  ParseResult pr;
  std::string before;
  if (int rc = fa_cmdline(pr, before)) return rc;
  std::string fn;
  if (int rc = fa_lastfile(pr, before, ".xpt", false, false, fn)) return rc;
  XptData d;
  if (int rc = loadfile(fn, d)) return rc;
  spout21f("\nTransport file %s\n", fn.c_str());
  spout21f("  dataset: %s%s%s\n", d.dsname.c_str(), d.dslabel.empty() ? "" : "  ", d.dslabel.c_str());
  spout21f("  obs: %ld   vars: %zu   datasets in file: %d\n", d.nobs, d.vars.size(), d.nmembers);
  spout21("variable  type     format        label\n");
  for (const XptVar& v : d.vars) {
    char ty[16], fm[24] = "";
    std::snprintf(ty, sizeof ty, "%s%d", v.isstr ? "char" : "num", v.len);
    if (!v.fmt.empty()) {
      if (v.fmtw && v.fmtd) std::snprintf(fm, sizeof fm, "%s%d.%d", v.fmt.c_str(), v.fmtw, v.fmtd);
      else if (v.fmtw) std::snprintf(fm, sizeof fm, "%s%d.", v.fmt.c_str(), v.fmtw);
      else std::snprintf(fm, sizeof fm, "%s.", v.fmt.c_str());
    }
    spout21f("%-9s %-8s %-13s %s\n", v.name.c_str(), ty, fm, v.label.c_str());
  }
  retval_clear();
  if (retval_set_scalar("N", static_cast<double>(d.nobs)) || retval_set_scalar("k", static_cast<double>(d.vars.size())))
    return RC_INSUFMEM;
  return 0;
}

}  // namespace

void files_bindxport() {
  cmdbind("fdasave", cmd_fdasave);
  cmdbind("fdause", cmd_fdause);
  cmdbind("fdadescribe", cmd_fdadescribe);
}
