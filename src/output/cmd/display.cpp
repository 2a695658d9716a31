// The `display` command with its directives (styles, columns, skips,
// newlines, characters, repeat counts, user requests, formats, literals and
// expressions), its variant that writes into a macro, the `format` command
// that sets variables' display formats, and `set dp`.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

constexpr int DIRARGMAX = 400;  // largest (#) a directive accepts

// State of one display command.
struct DispCtx {
  std::string* tomac = nullptr;  // non-null: the text goes into this macro value
  size_t maxlen = 0;             // longest macro value
  bool markup = true;            // ZMCL mode: literals are interpreted markup
  int col = 1;                   // current output column
  char fmt[FMTLEN] = {0};        // format for the next item; empty: the default
  long rep = 1;                  // repeat count for the next item
  bool cont = false;             // `_continue` seen
};

// Sends text to the screen (markup or plain) or to the macro; counts columns.
void emit(DispCtx& c, const std::string& text) {
  if (text.empty()) return;
  if (c.tomac) {
    if (c.tomac->size() < c.maxlen) c.tomac->append(text, 0, c.maxlen - c.tomac->size());
  } else if (c.markup) {
    spoutsml(text.c_str());
  } else {
    spoutnosml(text.c_str());
  }
  c.col += static_cast<int>(text.size());
}

// Sends text repeated by the repeat count, then resets the count (and the
// format after a value: a format applies to one literal or expression).
void emitrep(DispCtx& c, const std::string& text, bool value = false) {
  for (long i = 0; i < c.rep; ++i) emit(c, text);
  c.rep = 1;
  if (value) c.fmt[0] = 0;
}

void emitnewlines(DispCtx& c, long n) {
  for (long i = 0; i < n; ++i) {
    if (!c.tomac) newline();
  }
  c.col = 1;
}

// dirarg -> '(' ['-'] digits ')'  directly behind the keyword.
// 0 and *val, 198 when malformed or above 400; -1 when no '(' follows.
int dirarg(long* val) {
  if (gettok_next_char() != '(') return -1;
  gettok(prsestd);  // the '('
  std::string a;
  const char* p = wheretok();
  const char* close = std::strchr(p, ')');
  if (!close) return error(RC_SYNTAX);
  a.assign(p, close);
  settok(close + 1);
  size_t b = a.find_first_not_of(' '), e = a.find_last_not_of(' ');
  if (b == std::string::npos) return error(RC_SYNTAX);
  a = a.substr(b, e - b + 1);
  char* end;
  errno = 0;
  long v = std::strtol(a.c_str(), &end, 10);
  if (*end || errno || v > DIRARGMAX) return error(RC_SYNTAX);
  *val = v;
  return 0;
}

// The `(macname)` of `_request`; 0 or 198.
int dirname(std::string& name) {
  if (gettok_next_char() != '(') return error(RC_SYNTAX);
  gettok(prsestd);
  const char* p = wheretok();
  const char* close = std::strchr(p, ')');
  if (!close) return error(RC_SYNTAX);
  name.assign(p, close);
  settok(close + 1);
  size_t b = name.find_first_not_of(' '), e = name.find_last_not_of(' ');
  if (b == std::string::npos) return error(RC_SYNTAX);
  name = name.substr(b, e - b + 1);
  return 0;
}

// The level of a style word; -1 when not a style, -2 for zmcl.
int stylelevel(const char* w) {
  static const struct {
    const char* name;
    int min;
    int lev;
  } styles[] = {{"result", 3, OUT_RESULT}, {"yellow", 1, OUT_RESULT}, {"text", 3, OUT_NOTE},
                {"txt", 3, OUT_NOTE},      {"green", 1, OUT_NOTE},     {"blue", 1, OUT_NOTE},
                {"error", 3, OUT_ERROR},   {"red", 1, OUT_ERROR},      {"input", 3, OUT_COMMAND},
                {"command", 3, OUT_COMMAND}, {"white", 1, OUT_COMMAND}, {"zmcl", 1, -2}};
  for (auto& s : styles)
    if (cmdcmp(w, s.name, s.min)) return s.lev;
  return -1;
}

// Directive keywords, tested in this order.
enum Dir { D_CONT, D_PAGE, D_SKIP, D_COL, D_NEWL, D_CHAR, D_DUP, D_QUOTE, D_REQ, D_ASIS, D_NONE };
Dir finddir(const char* w) {
  static const struct {
    const char* name;
    int min;
    Dir d;
  } dirs[] = {{"_continue", 1, D_CONT}, {"_page", 2, D_PAGE},  {"_skip", 2, D_SKIP},
              {"_column", 4, D_COL},    {"_newline", 2, D_NEWL}, {"_char", 5, D_CHAR},
              {"_dup", 2, D_DUP},       {"_quote", 6, D_QUOTE}, {"_request", 2, D_REQ},
              {"_asis", 5, D_ASIS}};
  for (auto& d : dirs)
    if (cmdcmp(w, d.name, d.min)) return d.d;
  return D_NONE;
}

// True for the directives that only make sense on the screen.
bool screenonly(Dir d) {
  return d == D_CONT || d == D_PAGE || d == D_NEWL || d == D_QUOTE || d == D_REQ;
}

// True when the text at p continues an expression (an operator follows).
bool opfollows(const char* p) {
  while (*p == ' ') ++p;
  return *p && std::strchr("+-*/^=!~<>&|[", *p) != nullptr;
}

// An expression item: compiled, evaluated once, printed.
int dispexp(DispCtx& c) {
  ExprProg prog;
  trimtokwhite();
  if (gettok_next_char() == '=') gettok(prsestd);
  if (int rc = compexp(prog, EXP_NUMSTR, 0, 0)) return rc;
  std::string text;
  if (prog.type == EXP_STR) {
    std::string s;
    evalstr(prog, 1, s);
    if (c.fmt[0]) dispstr(s.c_str(), c.fmt, text);
    else text = s;
  } else {
    const double v = evalnum(prog, 1);
    if (c.fmt[0]) {
      sreforms_app(c.fmt, v, text);
    } else {
      sreforms_app("%10.0g", v, text);
      size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
      text = (b == std::string::npos) ? std::string() : text.substr(b, e - b + 1);
    }
  }
  emitrep(c, text, true);
  return 0;
}

// _request(macname): one line from the user into a global macro.
int disprequest(const std::string& name) {
  std::string line;
  if (interp.nokbrd || interp.batchmode) {
    (void)error(RC_NOTE_BATCH);
  } else {
    out_flush_all();
    if (plat_readline("", line) != 0) line.clear();
    size_t b = line.find_first_not_of(" \t"), e = line.find_last_not_of(" \t");
    line = (b == std::string::npos) ? std::string() : line.substr(b, e - b + 1);
  }
  macset_global(name, line);
  return 0;
}

// dispu: walks the directives from the tokenizer position to the end.
int dispu(DispCtx& c) {
  const bool screen = c.tomac == nullptr;
  while (true) {
    const char* p = peektok_chr();
    if (!*p) break;
    if (*p == '"' || (p[0] == '`' && p[1] == '"')) {
      TokPos save;
      stattok(&save);
      std::string lit;
      gettoklong(lit, prsestd);
      if (opfollows(wheretok())) {
        resettok(&save);
        if (int rc = dispexp(c)) return rc;
        continue;
      }
      std::string text;
      if (c.fmt[0]) dispstr(lit.c_str() + 1, c.fmt, text);
      else text = lit.substr(1);
      emitrep(c, text, true);
      continue;
    }
    if (*p == ',') {
      gettok(prsestd);
      if (*peektok_chr() == ',') gettok(prsestd);
      else emit(c, " ");
      continue;
    }
    if (*p == '%') {
      if (getfmt(c.fmt, FMTK_ANY + FMTK_CENTRE) < 0) {
        c.fmt[0] = 0;
        return error(RC_BADFORMAT);
      }
      continue;
    }
    TokPos save;
    stattok(&save);
    std::string w = gettok(prsestd);
    if (screen && (w == "as" || w == "in")) {
      std::string s = gettok(prsestd);
      const int lev = stylelevel(s.c_str());
      if (lev == -2) {
        c.markup = true;
        continue;
      }
      if (lev >= 0) {
        setoutlev(lev);
        spout_setcoloroflev();
        continue;
      }
      resettok(&save);
      if (int rc = dispexp(c)) return rc;
      continue;
    }
    const Dir d = (w[0] == '_') ? finddir(w.c_str()) : D_NONE;
    if (d == D_NONE || (!screen && screenonly(d))) {
      resettok(&save);
      if (int rc = dispexp(c)) return rc;
      continue;
    }
    long n = 1;
    int rc = 0;
    switch (d) {
      case D_CONT:
        c.cont = true;
        break;
      case D_PAGE:
        break;  // no pager in this front end: a page break shows nothing
      case D_SKIP:
        if ((rc = dirarg(&n)) > 0) return rc;
        if (n < 0) n = 0;
        emitrep(c, std::string(static_cast<size_t>(n), ' '));
        break;
      case D_COL:
        if ((rc = dirarg(&n)) != 0) return rc < 0 ? error(RC_SYNTAX) : rc;
        if (c.markup && screen) {
          char b[32];
          std::snprintf(b, sizeof b, "{col %ld}", n);
          spoutsml(b);
          if (n > c.col) c.col = static_cast<int>(n);
        } else if (c.col < n) {
          emit(c, std::string(static_cast<size_t>(n - c.col), ' '));
        }
        break;
      case D_NEWL:
        if ((rc = dirarg(&n)) > 0) return rc;
        if (n < 0) n = 0;
        emitnewlines(c, n * c.rep);
        c.rep = 1;
        break;
      case D_CHAR:
        if ((rc = dirarg(&n)) != 0) return rc < 0 ? error(RC_SYNTAX) : rc;
        if (n < 1 || n > 255) return error(RC_SYNTAX);
        if (c.markup && screen && (n == '{' || n == '}')) {
          // a brace is written as its markup escape; it takes one column
          for (long i = 0; i < c.rep; ++i) spoutsml(n == '{' ? "{c -(}" : "{c )-}");
          c.col += static_cast<int>(c.rep);
          c.rep = 1;
        } else {
          emitrep(c, std::string(1, static_cast<char>(n)));
        }
        break;
      case D_DUP:
        if ((rc = dirarg(&n)) != 0) return rc < 0 ? error(RC_SYNTAX) : rc;
        if (n < 0) return error(RC_SYNTAX);
        c.rep *= n;
        break;
      case D_QUOTE:
        emitrep(c, "\"");
        break;
      case D_REQ: {
        std::string name;
        if ((rc = dirname(name))) return rc;
        if ((rc = disprequest(name))) return rc;
        break;
      }
      case D_ASIS:
        c.markup = false;
        break;
      case D_NONE:
        break;
    }
  }
  return 0;
}

// display [directives]
int displaycmd(int) {
  if (cmd_bylevel) return error(RC_NOBY);
  DispCtx c;
  c.markup = interp.version >= 700;
  const int prevlev = setoutlev(OUT_RESULT);
  if (interp.zelta_level > 0) spout_setcoloroflev();
  int rc = dispu(c);
  if (!rc && !c.cont) newline();
  if (rc && c.col > 1) newline();  // the error message starts on a line of its own
  setoutlev(prevlev);
  return rc;
}

// format varlist %fmt | format %fmt varlist
int formatcmd(int) {
  // The format may stand before or after the list: cut it out of the text
  // and hand the rest to the shared parser as the variable list.
  const char* rest = peektok_chr();
  const char* pct = std::strchr(rest, '%');
  if (!pct) return required("%fmt");
  const char* endf = pct;
  while (*endf && *endf != ' ') ++endf;
  // the tokenizer must not be left pointing into vtext
  struct Restore {
    const char* end;
    ~Restore() { settok(end); }
  } restore{rest + std::strlen(rest)};
  char fmt[FMTLEN];
  std::string vtext(rest, pct);
  vtext += ' ';
  vtext += endf;
  settok(pct);
  const int kind = getfmt(fmt, FMTK_ANY);
  if (kind < 0) return error(RC_BADFORMAT);
  settok(vtext.c_str());
  ParseResult pr;
  if (int rc = parse({}, pr)) return rc;
  std::vector<int> vars = vl.varlist_vr;
  if (!pr.hasvarlist) {
    if (ds.nvar == 0) return error(RC_NOTFOUND);
    for (int v = 1; v <= ds.nvar; ++v) vars.push_back(v);
  }
  if (vars.empty()) return error(RC_NOTFOUND);
  const bool str = isstrtype(vartype(vars[0]));
  for (int v : vars) {
    if (isstrtype(vartype(v)) != str) {
      int prev = setoutlev(OUT_ERROR);
      spout21("varlist must contain all numeric or all string variables\n");
      setoutlev(prev);
      return RC_TYPEMISMATCH;
    }
  }
  if (str != (kind == 2)) {
    int prev = setoutlev(OUT_ERROR);
    spout21(str ? "string %fmt required for string variables\n"
                : "numeric %fmt required for numeric variables\n");
    setoutlev(prev);
    return RC_BADFORMAT;
  }
  for (int v : vars) ds.fmtlist[static_cast<size_t>(v)] = fmt;
  ds.updata = true;
  return 0;
}

// set dp comma|period
int set_dp(int) {
  std::string w = gettok(prsestd);
  if (w == "comma") fmts.dpcomma = true;
  else if (w == "period") fmts.dpcomma = false;
  else {
    int prev = setoutlev(OUT_ERROR);
    spout21f("%s invalid; must be comma or period\n", w.empty() ? "nothing" : w.c_str());
    setoutlev(prev);
    return RC_SYNTAX;
  }
  ParseResult pr;
  if (int rc = parse_ifinopts({.options = PERM_OPTIONAL}, pr)) return rc;
  (void)findopt(pr, "permanently", 1, 0);
  return chkopt(pr);
}

// The expression evaluator's hook for string(x, fmt): 1 for a format that is
// not numeric, else 0 with the rendered text.
int fmtnumhook(double v, const std::string& fmt, std::string* out) {
  if (chkfmt(fmt.c_str(), FMTK_NUM)) return 1;
  out->clear();
  sreforms_app(fmt.c_str(), v, *out);
  return 0;
}

}  // namespace

int display_tomacro(std::string& dst, size_t maxlen) {
  DispCtx c;
  c.tomac = &dst;
  c.maxlen = maxlen;
  c.markup = false;
  const int prevlev = out.c_outlev;
  int rc = dispu(c);
  setoutlev(prevlev);
  return rc;
}

void display_bindcommands() {
  cmdbind("display", displaycmd);
  cmdbind("format", formatcmd);
  setbind("dp", 2, set_dp);
  exhooks.fmtnum = fmtnumhook;
}
