// Minimal message routines; the full message table replaces this.
#include "output/errors.h"

#include <string>

#include "output/output.h"

static int say(const std::string& s, int rc) {
  int prev = setoutlev(OUT_ERROR);
  spout21(s.c_str());
  setoutlev(prev);
  return rc;
}

int error(int rc) {
  switch (rc) {
    case 0: case 1: return rc;
    case 198: return say("invalid syntax\n", rc);
    case 199: return say("unrecognized command\n", rc);
    default: return rc;
  }
}
int errors(int) { return 0; }
int error2s(const char* name, int, int rc) { return say(std::string(name) + "\n", rc); }
int required(const char* name) { return say(std::string(name) + " required\n", 100); }
int notalow(const char* name) { return say(std::string(name) + " not allowed\n", 101); }
int invalid(const char* word) { return say(std::string("invalid ") + word + "\n", 198); }
int error2(int, const char* name) { return say(std::string(name) + " invalid name\n", 198); }
int gnrnotfound(const char* name) { return say(std::string(name) + " not found\n", 111); }
int varnotfound(const char* name) { return say(std::string("variable ") + name + " not found\n", 111); }
int matnotfound(const char* name) { return say(std::string("matrix ") + name + " not found\n", 111); }
int macnotfound(const char* name) { return say(std::string("global macro $") + name + " not found\n", 111); }
int rcpinvalid(const char* op) { return say(std::string(op) + ":  operator invalid\n", 198); }
int rcpdtoobig(const char* op) { return say(std::string(op) + ":  operator invalid:  D20 is maximum allowed difference\n", 198); }
int rcptoolong(const char* op) { return say(std::string(op) + ":  operator too long\n", 1000); }
int errornumlist(int rc, int) { return rc; }
int experr(const char* found, int, const char* expected, int) {
  return say(std::string(found) + " found where " + expected + " expected\n", 198);
}
int unmatchedquote() { return say("unmatched quote\n", 198); }
int unbalanced_quotes() { return say("quotes unbalanced\n", 198); }
int braceerror(int brace) {
  return say(std::string("program error:  code follows on the same line as ") +
                 (brace == '{' ? "open" : "close") + " brace\n", 198);
}
int nomatchbrace() { return say("program error:  matching close brace not found\n", 198); }
int noobsnoerr() {
  int prev = setoutlev(OUT_NOTE);
  spout21("no observations\n");
  setoutlev(prev);
  return 0;
}
int fierr(int rc, const char* filename) {
  return say(std::string("file ") + (filename ? filename : "") + " not found\n", rc);
}
