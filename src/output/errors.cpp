// The composed messages: routines that print a message naming an object (a
// variable, macro, file, operator or expected token) at the error level and
// return the code in one step, so that a failure site reads
// `return varnotfound(name);`.
#include "output/errors.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "output/output.h"

namespace {

// Plain text with braces escaped for use inside markup.
std::string esc(const char* t) {
  std::string r;
  for (const char* p = t; *p; ++p) {
    if (*p == '{') r += "{c -(}";
    else if (*p == '}') r += "{c )-}";
    else r += *p;
  }
  return r;
}

// Prints a line at the error level (left there) and returns rc.
int say(const std::string& s, int rc) {
  setoutlev(OUT_ERROR);
  spout21(s.c_str());
  spout21("\n");
  return rc;
}

std::string str(const char* s) { return s ? s : ""; }

}  // namespace

int required(const char* name) { return say(str(name) + " required", RC_REQUIRED); }
int notalow(const char* name) { return say(str(name) + " not allowed", RC_NOTALLOWED); }
int invalid(const char* word) { return say("invalid " + str(word), RC_SYNTAX); }
int gnrnotfound(const char* name) { return say(str(name) + " not found", RC_NOTFOUND); }
int varnotfound(const char* name) { return say("variable " + str(name) + " not found", RC_NOTFOUND); }
int matnotfound(const char* name) { return say("matrix " + str(name) + " not found", RC_NOTFOUND); }
int regrnotfound(const char* name) { return say("regressor " + str(name) + " not found", RC_NOTFOUND); }
int eqnotfound(const char* name) { return say("equation " + str(name) + " not found", RC_NOTFOUND); }

// "equation [name ]not found", 303.
int veqnonf(const char* name) {
  std::string n = name && *name ? std::string(name) + " " : std::string();
  return say("equation " + n + "not found", RC_NOEQUATION);
}

// Local macros are stored with a leading underscore and shown as `name'.
int macnotfound(const char* name) {
  std::string n = str(name);
  if (!n.empty() && n[0] == '_') return say("local macro `" + n.substr(1) + "' not found", RC_NOTFOUND);
  return say("global macro $" + n + " not found", RC_NOTFOUND);
}

// Operator text then ":  ", or a line end when it is longer than 29 characters.
void strcolonbb(const char* text) {
  setoutlev(OUT_ERROR);
  spout21(text);
  if (std::strlen(text) <= 29) spout21(":  ");
  else spout21("\n");
}

// "op:  operator invalid", 198.
int rcpinvalid(const char* op) {
  strcolonbb(op);
  return say("operator invalid", RC_SYNTAX);
}

// "op:  operator invalid:  D20 is maximum allowed difference", 198.
int rcpdtoobig(const char* op) {
  strcolonbb(op);
  return say("operator invalid:  D20 is maximum allowed difference", RC_SYNTAX);
}

// "op:  operator too long", 1000.
int rcptoolong(const char* op) {
  strcolonbb(op);
  return say("operator too long", RC_LIMIT);
}

// Name messages of kinds 1 to 6; the caller's level is restored.
int error2(int kind, const char* name) {
  int prev = out.c_outlev;
  std::string n = str(name);
  std::string pre = n.empty() ? std::string() : n + " ";
  int rc;
  switch (kind) {
    case 1: rc = say(pre + "invalid name", RC_SYNTAX); break;
    case 2: rc = say(pre + "invalid varname", RC_SYNTAX); break;
    case 3: rc = say(n + " already defined", RC_DEFINED); break;
    case 4: rc = say(n + " ambiguous abbreviation", RC_NOTFOUND); break;
    case 5: rc = say(n + " not found", RC_NOTFOUND); break;
    case 6: rc = say(pre + "not labeled", RC_NOTLABELED); break;
    default: rc = error(RC_BADKIND); break;
  }
  setoutlev(prev);
  return rc;
}

// "prefix: message" as one paragraph with a hanging indent of 4.
int error2part(const char* prefix, int rc, int colon) {
  if (!prefix || !*prefix) return error(rc);
  int prev = setoutlev(OUT_ERROR);
  spoutsetzmclweak();
  spout_setcoloroflev();
  spoutsml("{p 0 4}");
  spout21(prefix);
  if (colon) spout21(":");
  spout21(" ");
  errst.newerror = false;
  int r = error(rc);
  errst.newerror = true;
  spoutsml("{p_end}\n");
  setoutlev(prev);
  return r;
}

// Number and numlist messages of codes 121 to 127; 0 for other codes.
int errornumlist(int rc, int isnumber) {
  static const char* const number[] = {
      "invalid number", "number required", "single number required",
      "invalid numlist has elements out of order", "invalid number, outside of allowed range",
      "invalid number, noninteger value", "invalid number, missing not allowed"};
  static const char* const numlist[] = {
      "invalid numlist", "invalid numlist has too few elements",
      "invalid numlist has too many elements", "invalid numlist has elements out of order",
      "invalid numlist has elements outside of allowed range",
      "invalid numlist has noninteger elements", "invalid numlist has missing values"};
  if (rc < 121 || rc > 127) return 0;
  int prev = setoutlev(OUT_ERROR);
  spoutsetzmclweak();
  say((isnumber ? number : numlist)[rc - 121], rc);
  setoutlev(prev);
  return rc;
}

// "'found' found where expected expected" as one paragraph.
int experr(const char* found, int qf, const char* expected, int qe) {
  auto piece = [](const char* t, int quoted) {
    if (!t || !*t) return std::string("nothing");
    std::string s = t;
    if (!quoted) return esc(s.c_str());
    if (s.size() >= 21) s = s.substr(0, 19) + "..." + s.substr(s.size() - 3);
    std::string q(1, '\'');
    q += esc(s.c_str());
    q += '\'';
    return q;
  };
  setoutlev(OUT_ERROR);
  spoutsetzmclweak();
  spout_setcoloroflev();
  std::string t = "{p}\n" + piece(found, qf) + "\nfound where\n" + piece(expected, qe) +
                  "\nexpected\n{p_end}\n";
  spoutsml(t.c_str());
  return RC_SYNTAX;
}

int unmatchedquote() { return say("unmatched quote", RC_SYNTAX); }
int unbalanced_quotes() { return say("quotes unbalanced", RC_SYNTAX); }

// Code on the same line as an open or close brace, 198.
int braceerror(int brace) {
  return say(std::string("program error:  code follows on the same line as ") +
                 (brace == '{' ? "open" : "close") + " brace",
             198);
}

int nomatchbrace() { return say("program error:  matching close brace not found", RC_SYNTAX); }

// "no observations" as a note; not an error, returns 0.
int noobsnoerr() {
  setoutlev(OUT_NOTE);
  spout21("no observations\n");
  return 0;
}

// File messages by code (paragraph "file name text"); returns rc.
int fierr(int rc, const char* filename) {
  int prev = out.c_outlev;
  std::string fn = str(filename);
  const char* text = nullptr;
  switch (rc) {
    case 601: case 661: text = "not found"; break;
    case 602: text = "already exists"; break;
    case 603: text = "could not be opened"; break;
    case 608: text = "is read-only; cannot be modified or erased"; break;
    case 609: text = "xp format"; break;
    case 610: text = "not Zelta format"; break;
    case 688: text = "is corrupt"; break;
    case 692: text = "I/O error on read"; break;
    case 693: text = "I/O error on write"; break;
    default: break;
  }
  if (rc == 697 || rc == 698) {
    setoutlev(OUT_NOTE);
    spout21(rc == 697 ? ("file " + fn + " saved\n").c_str()
                      : ("(note: file " + fn + " not found)\n").c_str());
  } else if (rc == 699) {
    say("insufficient disk space", rc);
  } else {
    setoutlev(OUT_ERROR);
    spoutsetzmclweak();
    spout_setcoloroflev();
    if (rc == 661) spout21("host or ");
    std::string other = "error " + std::to_string(rc);
    std::string t = "{p 0 4}file " + (fn.empty() ? std::string() : esc(fn.c_str())) + "\n" +
                    (text ? std::string(text) : other) + "{p_end}\n";
    spoutsml(t.c_str());
  }
  setoutlev(prev);
  return rc;
}

// A dataset written by a newer release, 610.
int fierrnewer(const char* filename) {
  return say("file " + str(filename) + " from more recent version of Zelta", RC_FILEFORMAT);
}

int errmsgf(int rc, const char* fmt, ...) {
  char buf[1024];
  va_list ap, again;
  va_start(ap, fmt);
  va_copy(again, ap);
  const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  // A message quoting a long text of the user's is printed whole, line end
  // included, rather than cut at the buffer.
  std::string big;
  if (n >= static_cast<int>(sizeof buf)) {
    big.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), fmt, again);
    big.pop_back();
  }
  va_end(again);
  int prev = setoutlev(OUT_ERROR);
  spout21(big.empty() ? buf : big.c_str());
  setoutlev(prev);
  return rc;
}
