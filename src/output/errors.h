// Return codes and their messages. Every routine prints its message at the
// error level through the output channel and returns the code, so a failure
// site is one line: `return varnotfound(name);`.
#pragma once

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
