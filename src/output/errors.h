// Return codes and their messages. Every routine prints its message at the
// error level through the output channel and returns the code, so a failure
// site is one line: `return varnotfound(name);`.
#pragma once
#include <string>

#include "output/rc.h"

struct ErrorState {
  bool newerror = true;  // error() asserts the error level and ZMCL mode first
  // Current `matsize` (owned by the matrix store, which sets this hook);
  // nullptr means the default 400.
  int (*matsize)() = nullptr;
  // Called when `error 2000`/`error 2001` ends a by-group loop early.
  void (*bystop)() = nullptr;
};
extern ErrorState errst;

int error(int rc);  // the standard message of rc; returns rc or its mapped code
int errors(int poolindex);
int error2s(const char* name, int poolindex, int rc);
int required(const char* name);   // "%s required", 100
int notalow(const char* name);    // "%s not allowed", 101
int invalid(const char* word);    // "invalid " word, 198
int error2(int kind, const char* name);
int gnrnotfound(const char* name);
int varnotfound(const char* name);
int matnotfound(const char* name);
int macnotfound(const char* name);
int rcpinvalid(const char* op);
int rcpdtoobig(const char* op);
int rcptoolong(const char* op);
int errornumlist(int rc, int isnumber);
int experr(const char* found, int foundquoted, const char* expected, int expectedquoted);
int unmatchedquote();
int unbalanced_quotes();
int braceerror(int brace);
int nomatchbrace();
int noobsnoerr();
int fierr(int rc, const char* filename);
int regrnotfound(const char* name);  // "regressor %s not found", 111
int eqnotfound(const char* name);    // "equation %s not found", 111
int veqnonf(const char* name);       // "equation [%s ]not found", 303
// The text, then ":  " when it is at most 29 characters long, else a line end.
void strcolonbb(const char* text);
// "prefix: message" as one wrapped paragraph; returns what error(rc) returns.
int error2part(const char* prefix, int rc, int colon);
// "file %s from more recent version of Zelta", 610.
int fierrnewer(const char* filename);
// A composed message of the caller's own (printf-style, plain text) at the
// error level; the caller's level is kept. Returns rc.
int errmsgf(int rc, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Message n of the message pool (without its line end); "" when out of range.
const char* loadmsg(int n);
