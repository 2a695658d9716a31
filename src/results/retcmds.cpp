// The posting commands of programs: `return`, `ereturn` and `sreturn` with
// their class rules, the listings of the three stores, and `_estimates`
// (hold, unhold, dir, drop, clear) with the automatic-restore slot.
#include <cblas.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/program.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/resint.h"
#include "results/results.h"

// OpenBLAS's own: stops its thread pool; a later call that wants more than
// one thread starts the pool again.
extern "C" int blas_thread_shutdown_(void);

bool res_validname(const std::string& n) {
  if (n.empty() || n.size() > 32) return false;
  if (n[0] >= '0' && n[0] <= '9') return false;
  for (char c : n)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
      return false;
  return true;
}

int res_chkname(const std::string& n) {
  if (res_validname(n)) return 0;
  if (n.empty()) return errmsgf(RC_SYNTAX, "nothing found where name expected\n");
  return errmsgf(RC_SYNTAX, "%s invalid name\n", n.c_str());
}

namespace {

enum : int { RCLS = 1, SCLS = 2, ECLS = 3 };

// The table routine behind `ereturn display` (res_set_edisplay).
EDisplayFn edisplay = nullptr;

// The class of the innermost running program (0 outside programs).
int curclass() { return res.frames.empty() ? 0 : res.frames.back().cls; }

int notclass(int cls) {
  if (cls == RCLS) return errmsgf(RC_NOTRCLASS, "non r-class program may not set r()\n");
  if (cls == ECLS) return errmsgf(RC_NOTECLASS, "non e-class program may not set e()\n");
  return errmsgf(RC_NOTSCLASS, "non s-class program may not set s()\n");
}

// One listing line: name right-aligned in 18 columns, a separator, the value.
void listline(const std::string& name, const char* sep, const std::string& value) {
  spoutsml("{txt}");
  std::string n = name.size() < 18 ? std::string(18 - name.size(), ' ') + name : name;
  spout21(n.c_str());
  spout21(sep);
  spoutsml("{res}");
  spout21(value.c_str());
  newline();
}

// The value of a macro's definition text: `= exp`, `: function` or text with
// its outer quotes removed.
int macrotext(const char* p, std::string& value) {
  while (*p == ' ') ++p;
  if (*p == '=') return macevalexp(p + 1, value);
  if (*p == ':') return macextended(p + 1, value);
  const char* e = p + std::strlen(p);
  while (e > p && e[-1] == ' ') --e;
  if (e - p >= 2 && p[0] == '"' && e[-1] == '"') ++p, --e;
  else if (e - p >= 4 && p[0] == '`' && p[1] == '"' && e[-2] == '"' && e[-1] == '\'') p += 2, e -= 2;
  value.assign(p, e);
  return 0;
}

// Reads a name token for the posting subcommands.
int getname(std::string& name) {
  name = gettok(prsestd);
  if (name == "=" || name == ",") name.clear();
  return res_chkname(name);
}

// name [=] exp: the expression's numeric value (string scalars for `scalar`
// are not posted to saved results).
int scalarexp(double& v) {
  const char* p = peektok_chr();
  if (*p == '=') gettok(prsestd);
  if (!*peektok_chr()) return required("expression");
  ExprProg prog;
  if (int rc = compexp(prog, EXP_NUM, 0, 0)) return rc;
  if (*peektok_chr()) return error(RC_SYNTAX);
  v = evalnum(prog, 1);
  return 0;
}

// The matrix of a `return matrix`/`ereturn matrix` line: name [= matname]
// [, copy]; the user matrix is moved unless `copy` is given.
int matarg(std::string& name, Matrix& m) {
  if (int rc = getname(name)) return rc;
  std::string src = name;
  if (*peektok_chr() == '=') {
    gettok(prsestd);
    src = gettok(prsestd);
    if (src.empty()) return required("matrix name");
  }
  bool copy = false;
  if (*peektok_chr() == ',') {
    gettok(prsestd);
    std::string o = gettok(prsestd);
    if (!cmdcmp(o.c_str(), "copy", 4)) return errmsgf(RC_SYNTAX, "option %s not allowed\n", o.c_str());
    copy = true;
  }
  if (*peektok_chr()) return error(RC_SYNTAX);
  const Matrix* p = mat_find(src);
  if (!p) return matnotfound(src.c_str());
  m = *p;
  if (!copy) (void)mat_erase(src);
  return 0;
}

// Nothing may follow the subcommand word.
int nothingmore(const std::string& sub, int rc) {
  if (!*peektok_chr()) return 0;
  if (rc == 198) return error(RC_SYNTAX);
  (void)sub;
  return notalow(gettok(prsestd));
}

// Puts an item into a store, replacing any of that name.
int put(ResStore& st, const std::string& name, int kind, double d, std::string s, Matrix m) {
  st.erase(name);
  if (st.size() >= RES_MAXITEMS) return error(RC_INSUFMEM);
  if (kind == 1) st.scalars.emplace_back(name, d);
  else if (kind == 2) {
    if (!s.empty()) st.macros.emplace_back(name, std::move(s));
  } else st.matrices.emplace_back(name, std::move(m));
  return 0;
}

// return local|scalar|matrix|add|clear|list|dir|drop ...
int cmd_return(int) {
  std::string sub = gettok(prsestd);
  if (sub.empty()) return error(RC_SYNTAX);
  bool loc = cmdcmp(sub.c_str(), "local", 3), sca = cmdcmp(sub.c_str(), "scalar", 3);
  bool mat = cmdcmp(sub.c_str(), "matrix", 3), add = sub == "add";
  if (loc || sca || mat || add) {
    if (curclass() != RCLS) return notclass(RCLS);
    ResFrame& f = res.frames.back();
    if (add) {
      if (*peektok_chr()) return error(RC_SYNTAX);
      auto mine = [&](const std::string& n) {
        for (auto& o : f.own)
          if (o == n) return true;
        return false;
      };
      for (auto& p : res.r.scalars)
        if (!mine(p.first)) f.pending.erase(p.first), f.pending.scalars.push_back(p);
      for (auto& p : res.r.macros)
        if (!mine(p.first)) f.pending.erase(p.first), f.pending.macros.push_back(p);
      for (auto& p : res.r.matrices)
        if (!mine(p.first)) f.pending.erase(p.first), f.pending.matrices.push_back(p);
      res.r.clear();
      return 0;
    }
    std::string name;
    int rc = 0;
    if (loc) {
      if ((rc = getname(name))) return rc;
      std::string text;
      if ((rc = macrotext(wheretok(), text))) return rc;
      rc = put(f.pending, name, 2, 0, std::move(text), {});
    } else if (sca) {
      if ((rc = getname(name))) return rc;
      double v = 0;
      if ((rc = scalarexp(v))) return rc;
      rc = put(f.pending, name, 1, v, {}, {});
    } else {
      Matrix m;
      if ((rc = matarg(name, m))) return rc;
      rc = put(f.pending, name, 3, 0, {}, std::move(m));
    }
    if (!rc) f.own.push_back(name);
    return rc;
  }
  if (sub == "clear") {
    if (int rc = nothingmore(sub, RC_NOTALLOWED)) return rc;
    if (!res.frames.empty()) {
      res.frames.back().pending.clear();
      res.frames.back().own.clear();
    } else {
      res.r.clear();
    }
    return 0;
  }
  if (cmdcmp(sub.c_str(), "list", 2)) {
    if (int rc = nothingmore(sub, RC_SYNTAX)) return rc;
    res_list('r');
    return 0;
  }
  if (sub == "dir" || sub == "drop") return RC_NOTDONE;
  return error(RC_SYNTAX);
}

// sreturn local|clear|list
int cmd_sreturn(int) {
  std::string sub = gettok(prsestd);
  if (sub.empty()) return error(RC_SYNTAX);
  if (cmdcmp(sub.c_str(), "local", 3)) {
    if (curclass() != SCLS) return notclass(SCLS);
    std::string name, text;
    if (int rc = getname(name)) return rc;
    if (int rc = macrotext(wheretok(), text)) return rc;
    return put(res.frames.back().pending, name, 2, 0, std::move(text), {});
  }
  if (sub == "clear") {
    if (int rc = nothingmore(sub, RC_NOTALLOWED)) return rc;
    res.s.clear();
    if (curclass() == SCLS) res.frames.back().pending.clear();
    return 0;
  }
  if (cmdcmp(sub.c_str(), "list", 2)) {
    if (int rc = nothingmore(sub, RC_SYNTAX)) return rc;
    res_list('s');
    return 0;
  }
  return error(RC_SYNTAX);
}

// The esample(varname) option: the 0/1 variable becomes the marker and is dropped.
int esampleopt(const std::string& vname) {
  int v = findvarexact(vname.c_str());
  if (!v) return varnotfound(vname.c_str());
  if (isstrtype(vartype(v))) return errmsgf(RC_TYPEMISMATCH, "esample(): %s is a string variable\n", vname.c_str());
  std::vector<uint8_t> flags(static_cast<size_t>(ds.nobs));
  for (long i = 1; i <= ds.nobs; ++i) {
    double x = zelta_data(v, i);
    flags[static_cast<size_t>(i - 1)] = x != 0 && x < misval ? 1 : 0;
  }
  std::vector<int> drop{v};
  if (int rc = droporkeepvars(drop, false)) return rc;
  return estval_set_sample(flags);
}

// ereturn post [b [V]] [, esample(var) depname(name) obs(#) dof(#)]
int epost(bool repost) {
  std::string bname, vname;
  // repost takes b = name and V = name pairs
  while (*peektok_chr() && *peektok_chr() != ',') {
    std::string w = gettok(prsestd);
    if (repost) {
      if (w != "b" && w != "V") return error(RC_SYNTAX);
      if (*peektok_chr() != '=') return error(RC_SYNTAX);
      gettok(prsestd);
      std::string m = gettok(prsestd);
      if (m.empty()) return error(RC_SYNTAX);
      (w == "b" ? bname : vname) = m;
    } else if (bname.empty()) {
      bname = w;
    } else if (vname.empty()) {
      vname = w;
    } else {
      return error(RC_SYNTAX);
    }
  }
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  std::string esvar, depname;
  bool hases = findargn(pr, "esample", 3, esvar, 32, 1);
  bool hasdep = findargn(pr, "depname", 3, depname, 32, 1);
  double obs = -1, dof = -1;
  findoptv(pr, "obs", 3, &obs, 1, 0);
  findoptv(pr, "dof", 3, &dof, 1, 0);
  if (int rc = chkopt(pr)) return rc;
  Matrix b, V;
  if (!bname.empty() && !mat_find(bname)) return matnotfound(bname.c_str());
  if (!vname.empty() && !mat_find(vname)) return matnotfound(vname.c_str());
  if (repost) {
    const Matrix* ob = res.e.matrix("b");
    const Matrix* oV = res.e.matrix("V");
    b = bname.empty() ? (ob ? *ob : Matrix{}) : *mat_find(bname);
    V = vname.empty() ? (oV ? *oV : Matrix{}) : *mat_find(vname);
    if (b.rows == 0) return error(RC_NOESTIMATES);
  } else {
    if (!bname.empty()) b = *mat_find(bname);
    if (!vname.empty()) {
      V = *mat_find(vname);
      if (bname.empty()) return error(RC_SYNTAX);
    }
  }
  if (b.rows) {
    if (b.rows != 1) return error(RC_CONFORM);
    if (V.rows || V.cols) {
      if (V.rows != V.cols || V.rows != b.cols) return error(RC_CONFORM);
      for (int i = 0; i < V.rows; ++i)
        for (int j = 0; j < i; ++j)
          if (V.at(i, j) != V.at(j, i)) return error(RC_NOTSYMMETRIC);
    }
  }
  if (hases && !findvarexact(esvar.c_str())) return varnotfound(esvar.c_str());
  if (!repost) estval_clear();
  if (!bname.empty()) (void)mat_erase(bname);
  if (!vname.empty()) (void)mat_erase(vname);
  if (b.rows) {
    if (repost) res.e.erase("b"), res.e.erase("V");
    if (int rc = estval_post(std::move(b), std::move(V))) return rc;
  }
  if (hasdep) {
    if (int rc = estval_set_local("depvar", depname)) return rc;
  }
  if (obs >= 0)
    if (int rc = estval_set_scalar("N", obs)) return rc;
  if (dof >= 0)
    if (int rc = estval_set_scalar("df_r", dof)) return rc;
  if (hases) return esampleopt(esvar);
  return 0;
}

// ereturn local|scalar|matrix|list|clear|post|repost|display
int cmd_ereturn(int) {
  std::string sub = gettok(prsestd);
  if (sub.empty()) return error(RC_SYNTAX);
  bool loc = cmdcmp(sub.c_str(), "local", 3), sca = cmdcmp(sub.c_str(), "scalar", 3);
  bool mat = cmdcmp(sub.c_str(), "matrix", 3);
  bool post = sub == "post", repost = sub == "repost";
  if (loc || sca || mat || post || repost) {
    if (curclass() != ECLS) return notclass(ECLS);
    if (post || repost) return epost(repost);
    std::string name;
    if (loc) {
      if (int rc = getname(name)) return rc;
      std::string text;
      if (int rc = macrotext(wheretok(), text)) return rc;
      return put(res.e, name, 2, 0, std::move(text), {});
    }
    if (sca) {
      if (int rc = getname(name)) return rc;
      double v = 0;
      if (int rc = scalarexp(v)) return rc;
      return put(res.e, name, 1, v, {}, {});
    }
    Matrix m;
    if (int rc = matarg(name, m)) return rc;
    if (name == "b" || name == "V") return errmsgf(RC_SYNTAX, "%s reserved; use ereturn post or repost\n", name.c_str());
    return put(res.e, name, 3, 0, {}, std::move(m));
  }
  if (sub == "clear") {
    if (int rc = nothingmore(sub, RC_NOTALLOWED)) return rc;
    estval_clear();
    return 0;
  }
  if (cmdcmp(sub.c_str(), "list", 2)) {
    if (int rc = nothingmore(sub, RC_SYNTAX)) return rc;
    res_list('e');
    return 0;
  }
  if (cmdcmp(sub.c_str(), "display", 2)) {
    if (!edisplay) return error(RC_UNRECOGNIZED);
    return edisplay();
  }
  return error(RC_SYNTAX);
}

// ---------------------------------------------------------------------------
// Held estimates.

HeldEst* heldfind(const std::string& name) {
  for (auto& h : res.held)
    if (h.name == name) return &h;
  return nullptr;
}

// estimates hold name [, copy restore nullok estimates estsystem varname(newvar)]
int est_hold() {
  std::string name = gettok(prsestd);
  if (name == ",") name.clear();
  else if (int rc = res_chkname(name)) return rc;
  if (name.empty()) return res_chkname(name);
  if (heldfind(name)) return errmsgf(RC_DEFINED, "%s already defined\n", name.c_str());
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  bool copy = findopt(pr, "copy", 4, 0) == 1, restore = findopt(pr, "restore", 7, 0) == 1;
  bool nullok = findopt(pr, "nullok", 6, 0) == 1, estflag = findopt(pr, "estimates", 9, 0) == 1;
  bool estsystem = findopt(pr, "estsystem", 9, 0) == 1;
  std::string vname = name;
  if (findargn(pr, "varname", 7, vname, 40, 1) && vname.empty()) vname = name;
  if (int rc = chkopt(pr)) return rc;
  if (int rc = res_chkname(vname)) return rc;
  bool hasest = !res.e.empty() || estval_samplevar();
  if (!nullok && !hasest) return error(RC_NOESTIMATES);
  if (restore)
    for (auto& h : res.held)
      if (h.restore)
        return errmsgf(RC_PRESERVED, "already exist held estimates for automatic restore\n");
  int used = 0;
  for (auto& h : res.held)
    if (!h.restore || !estsystem) ++used;
  if (!estsystem && used >= RES_MAXHOLD) return error(RC_LIMIT);
  HeldEst h;
  h.name = name;
  h.estflag = estflag;
  h.restore = restore;
  if (int sv = estval_samplevar()) {
    // the marker is kept in a byte variable of the given name
    if (findvarexact(vname.c_str())) return errmsgf(RC_DEFINED, "%s already defined\n", vname.c_str());
    if (copy) {
      if (int rc = addvar(vname.c_str(), ST_BYTE)) return rc;
      int nv = ds.nvar;
      for (long i = 1; i <= ds.nobs; ++i) store(nv, i, zelta_data(sv, i));
    } else {
      ds.varlist[static_cast<size_t>(sv)] = vname;
    }
    h.samplevar = vname;
  }
  if (copy) {
    h.e = res.e;
  } else {
    h.e = std::move(res.e);
    estval_clear();
  }
  res.held.push_back(std::move(h));
  return 0;
}

// estimates unhold name [, not]
int est_unhold() {
  std::string name = gettok(prsestd);
  if (name.empty() || name == ",") return res_chkname("");
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  bool isnot = findopt(pr, "not", 3, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  HeldEst* h = heldfind(name);
  if (!h) return errmsgf(RC_NOTFOUND, "estimates %s not found\n", name.c_str());
  if (isnot) {
    if (!h->restore)
      return errmsgf(RC_SYNTAX, "estimates %s not preserved with restore option\n", name.c_str());
    h->restore = false;
    return 0;
  }
  estval_clear();
  res.e = std::move(h->e);
  if (!h->samplevar.empty())
    if (int v = findvarexact(h->samplevar.c_str())) ds.varlist[static_cast<size_t>(v)] = ESAMPLE_VAR;
  res.held.erase(res.held.begin() + (h - res.held.data()));
  return 0;
}

// estimates store name: a copy of the current results (and of the sample
// marker) kept under name, replacing a stored copy of that name.
int est_store() {
  std::string name = gettok(prsestd);
  if (name.empty() || name == ",") return res_chkname("");
  if (int rc = res_chkname(name)) return rc;
  if (*peektok_chr()) return error(RC_SYNTAX);
  if (res.e.empty()) return error(RC_NOESTIMATES);
  if (HeldEst* h = heldfind(name)) {
    if (!h->stored) return errmsgf(RC_DEFINED, "%s already defined\n", name.c_str());
    res.held.erase(res.held.begin() + (h - res.held.data()));
  }
  if (res.held.size() >= RES_MAXHOLD) return error(RC_LIMIT);
  HeldEst h;
  h.name = name;
  h.stored = true;
  h.e = res.e;
  if (int sv = estval_samplevar()) {
    h.sample.resize(static_cast<size_t>(ds.nobs));
    for (long i = 1; i <= ds.nobs; ++i) h.sample[static_cast<size_t>(i - 1)] = zelta_data(sv, i) == 1;
  }
  res.held.push_back(std::move(h));
  return 0;
}

// estimates restore name: the stored results become the current ones (the
// stored copy stays).
int est_restore() {
  std::string name = gettok(prsestd);
  if (name.empty() || name == ",") return res_chkname("");
  if (*peektok_chr()) return error(RC_SYNTAX);
  HeldEst* h = heldfind(name);
  if (!h || !h->stored) return errmsgf(RC_NOTFOUND, "estimation result %s not found\n", name.c_str());
  ResStore e = h->e;
  std::vector<uint8_t> sample = h->sample;
  estval_clear();
  res.e = std::move(e);
  if (!sample.empty()) {
    sample.resize(static_cast<size_t>(ds.nobs), 0);
    if (int rc = estval_set_sample(sample)) return rc;
  }
  return 0;
}

// _estimates hold|unhold|store|restore|dir|drop|clear
int cmd_estimates(int) {
  std::string sub = gettok(prsestd);
  if (sub.empty()) return error(RC_SYNTAX);
  if (cmdcmp(sub.c_str(), "hold", 4)) return est_hold();
  if (cmdcmp(sub.c_str(), "unhold", 6)) return est_unhold();
  if (cmdcmp(sub.c_str(), "store", 3)) return est_store();
  if (cmdcmp(sub.c_str(), "restore", 3)) return est_restore();
  if (cmdcmp(sub.c_str(), "dir", 3)) {
    if (*peektok_chr()) return error(RC_SYNTAX);
    std::string names;
    for (auto& h : res.held) names += (names.empty() ? "" : " ") + h.name;
    if (!names.empty()) spoutsmlf("{res}%s\n", names.c_str());
    return retval_set_local("names", names);
  }
  if (cmdcmp(sub.c_str(), "drop", 4)) {
    std::string w;
    bool any = false;
    while (!(w = gettok(prsestd)).empty()) {
      any = true;
      if (w == "_all") {
        res.held.clear();
        continue;
      }
      HeldEst* h = heldfind(w);
      if (!h) return errmsgf(RC_NOTFOUND, "estimates %s not found\n", w.c_str());
      res.held.erase(res.held.begin() + (h - res.held.data()));
    }
    if (!any) return required("names");
    return 0;
  }
  if (cmdcmp(sub.c_str(), "clear", 5)) {
    if (*peektok_chr()) return error(RC_SYNTAX);
    res.held.clear();
    return 0;
  }
  return error(RC_SYNTAX);
}

}  // namespace

void res_list(char cls) {
  const ResStore& st = res_store(cls);
  std::string p(1, cls);
  if (!st.scalars.empty()) {
    spoutsml("\n{txt}scalars:\n");
    for (auto& s : st.scalars) {
      std::string v;
      macfmtnum(s.second, v);
      listline(p + "(" + s.first + ")", " =  ", v);
    }
  }
  if (!st.macros.empty()) {
    spoutsml("\n{txt}macros:\n");
    for (auto& m : st.macros) listline(p + "(" + m.first + ")", " : ", "\"" + m.second + "\"");
  }
  if (!st.matrices.empty()) {
    spoutsml("\n{txt}matrices:\n");
    for (auto& m : st.matrices)
      listline(p + "(" + m.first + ")", " :  ",
               std::to_string(m.second.rows) + " x " + std::to_string(m.second.cols));
  }
  if (cls == 'e' && estval_samplevar()) {
    spoutsml("\n{txt}functions:\n");
    listline("e(sample)", "", "");
  }
}

void res_set_edisplay(EDisplayFn fn) { edisplay = fn; }

void retcmds_bind() {
  cmdbind("return", cmd_return);
  cmdbind("ereturn", cmd_ereturn);
  cmdbind("sreturn", cmd_sreturn);
  cmdbind("_estimates", cmd_estimates);
  cmdbind("estimates", cmd_estimates);
}

// Binds every command of the saved-results subsystem and installs its hooks.
void results_bindcommands() {
  results_hooks_install();
  out_set_cclfn(creturn_text);
  retcmds_bind();
  creturn_bind();
  matcmds_bind();
  scalar_bind();
  setquery_bind();
  adoabbrev("estimates", 3);
  // BLAS runs on one thread unless the user's environment asks for more (and
  // ZELTA_ONE_THREAD is not set): our own commands share the cores already.
  // The pool the library made when it was loaded is stopped too: its threads
  // spin for about a tenth of a second before they sleep, taking the second
  // core from whatever command runs first.
  if (plat_onethread() || (!std::getenv("OPENBLAS_NUM_THREADS") && !std::getenv("OMP_NUM_THREADS"))) {
    openblas_set_num_threads(1);
    blas_thread_shutdown_();
  }
}
