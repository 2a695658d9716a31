// Placeholder expression layer so the rest links; replaced by the compiler
// and evaluator. Numbers only.
#include <cstdlib>
#include <cstring>

#include "data/store.h"
#include "expr/expr.h"
#include "interp/tokenizer.h"

ExprState ex;

int compexp(ExprProg& prog, int, int, int) {
  const char* t = gettok(prsestd);
  prog = ExprProg{};
  prog.text = t;
  return *t ? 0 : 198;
}
int compexp_u(const char* text, ExprProg& prog, int) {
  prog = ExprProg{};
  prog.text = text;
  return 0;
}
double evalnum(const ExprProg& prog, long) {
  char* e;
  double d = std::strtod(prog.text.c_str(), &e);
  return *e ? misval : d;
}
void evalstr(const ExprProg& prog, long, std::string& out) {
  out = prog.text.size() && prog.text[0] == '"' ? prog.text.substr(1) : prog.text;
}
bool selobs(long obs) {
  if (ex.ifpgm.empty()) return true;
  return evalnum(ex.ifpgm, obs) != 0;
}
void expr_reset_command() {
  ex.ifpgm = ExprProg{};
  ex.wepgm = ExprProg{};
  ex.numlits.clear();
  ex.strpool.clear();
}
