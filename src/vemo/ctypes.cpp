// Compile-time types: the shared type table (element type, organization,
// function flag, pointed-to type, structure name) and the operand rules that
// give an operator's result element type or refuse its operands.
#include <string>

#include "vemo/cc.h"

int TypeTab::add(const CType& c) {
  for (size_t i = 0; i < t.size(); ++i) {
    const CType& e = t[i];
    if (e.el == c.el && e.org == c.org && e.fn == c.fn && e.ptr == c.ptr && e.sname == c.sname)
      return static_cast<int>(i);
  }
  if (t.size() >= 500) return -1;
  t.push_back(c);
  return static_cast<int>(t.size() - 1);
}

int TypeTab::addname(const std::string& s) {
  for (size_t i = 0; i < names.size(); i += std::char_traits<char>::length(names.c_str() + i) + 1)
    if (!names.compare(i, std::string::npos, s.c_str(), s.size() + 1)) return static_cast<int>(i);
  if (names.size() + s.size() + 1 > 4000) return -1;
  int off = static_cast<int>(names.size());
  names.append(s);
  names.push_back('\0');
  return off;
}

std::string TypeTab::sname(int i) const {
  const CType& c = at(i);
  if (c.sname < 0) return "";
  return std::string(names.c_str() + c.sname);
}

std::string TypeTab::text(int i) const {
  static const char* const els[] = {"transmorphic", "real", "string", "complex", "numeric", "pointer", "struct"};
  static const char* const orgs[] = {"matrix", "scalar", "vector", "rowvector", "colvector", "void"};
  const CType& c = at(i);
  std::string s;
  if (c.el >= 0 && c.el <= 6) s = els[c.el];
  if (c.el == E_STRUCT) (s += ' ') += sname(i);
  if (c.el == E_PTR && c.ptr >= 0) ((s += '(') += text(c.ptr)) += ')';
  if (c.org >= 0 && c.org <= 5) s += std::string(" ") + orgs[c.org];
  if (c.fn) s += "()";
  return s;
}

namespace {

bool reallike(int e) { return e == E_TRANS || e == E_REAL || e == E_NUM; }
bool numlike(int e) { return reallike(e) || e == E_CPLX; }
bool strlike(int e) { return e == E_TRANS || e == E_STR; }
bool ptrlike(int e) { return e == E_TRANS || e == E_PTR; }
bool loglike(int e) { return reallike(e) || ptrlike(e); }

// The minus rule over two numeric-like operands.
int minusres(int l, int r) {
  if (l == E_TRANS || r == E_TRANS) return E_TRANS;
  if (l == E_CPLX || r == E_CPLX) return E_CPLX;
  if (l == E_REAL && r == E_REAL) return E_REAL;
  return E_NUM;
}

}  // namespace

bool ct_rule(int rule, const CType& lc, const CType& rc, const TypeTab& tt, int* res) {
  (void)tt;
  const int l = lc.fn ? -1 : lc.el, r = rc.fn ? -1 : rc.el;
  const bool anytr = l == E_TRANS || r == E_TRANS;
  switch (rule) {
    case R_NONE: *res = E_TRANS; return true;
    case R_EQUAL: *res = E_REAL; return true;
    case R_COMPARE:
      *res = E_REAL;
      return anytr || (strlike(l) && strlike(r)) || (numlike(l) && numlike(r));
    case R_LOGICAL: *res = E_REAL; return loglike(l) && loglike(r);
    case R_REAL: *res = E_REAL; return reallike(l) && reallike(r);
    case R_PLUS:
      if (anytr) {
        *res = E_TRANS;
        return l != -1 && r != -1;
      }
      if (l == E_STR && r == E_STR) {
        *res = E_STR;
        return true;
      }
      [[fallthrough]];
    case R_MINUS:
      *res = numlike(l) && numlike(r) ? minusres(l, r) : E_TRANS;
      return numlike(l) && numlike(r);
    case R_MULT:
      if (anytr) {
        *res = E_TRANS;
        return l != -1 && r != -1;
      }
      if ((l == E_STR && reallike(r)) || (reallike(l) && r == E_STR)) {
        *res = E_STR;
        return true;
      }
      *res = numlike(l) && numlike(r) ? minusres(l, r) : E_TRANS;
      return numlike(l) && numlike(r);
    case R_KRON:
      if (!numlike(l) || !numlike(r)) return false;
      if (anytr) *res = E_TRANS;
      else if (l == E_CPLX || r == E_CPLX) *res = E_CPLX;
      else *res = l == E_REAL ? E_REAL : E_NUM;
      return true;
    case R_FLEX:
      if (l == -1 || r == -1) return false;
      if (anytr) *res = E_TRANS;
      else if (l == E_STR || r == E_STR) *res = E_STR;
      else if (l == E_PTR || r == E_PTR) *res = E_PTR;
      else if (l == E_STRUCT || r == E_STRUCT) *res = E_STRUCT;
      else *res = minusres(l, r);
      if (anytr) return true;
      if (l == E_STR || r == E_STR) return l == r;
      if (l == E_PTR || r == E_PTR) return l == r;
      if (l == E_STRUCT || r == E_STRUCT) return l == r && lc.sname == rc.sname;
      return numlike(l) && numlike(r);
    case R_ASSIGN:
      *res = l;
      if (l == E_TRANS || r == E_TRANS) return true;
      if (l == E_STR || r == E_STR) return l == r;
      if (l == E_PTR || r == E_PTR) return l == r;
      if (l == E_STRUCT || r == E_STRUCT) return l == r && lc.sname == rc.sname;
      if (l == E_REAL && r == E_CPLX) return false;
      return numlike(l) && numlike(r);
    default: break;
  }
  *res = E_TRANS;
  return true;
}
