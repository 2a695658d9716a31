// The Vemo built-in table: every built-in name in table order with its
// result type and argument counts, and the first built-ins implemented here
// (shape, construction, element-wise mathematics, sums, missing values,
// types, strings and formatted output). Built-ins without an implementation
// yet stop with 3996.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/value.h"
#include "expr/funcs.h"
#include "output/format.h"
#include "output/output.h"
#include "output/rc.h"
#include "vemo/cc.h"
#include "vemo/cxmath.h"
#include "vemo/lib.h"
#include "vemo/opsutil.h"
#include "vemo/vm.h"

using namespace vlib;

namespace {

const char* const names[] = {
#include "vemo/bnames.inc"
};

bool b_rows(int n) { return arg(n, 0)->kind == K_FCN ? vmerr(RC_VM_FCN) : ret(n, mkscalar(arg(n, 0)->rows)); }
bool b_cols(int n) { return arg(n, 0)->kind == K_FCN ? vmerr(RC_VM_FCN) : ret(n, mkscalar(arg(n, 0)->cols)); }
bool b_length(int n) {
  return arg(n, 0)->kind == K_FCN ? vmerr(RC_VM_FCN) : ret(n, mkscalar(static_cast<double>(arg(n, 0)->n())));
}

// Fills dst with an r x c grid of copies of the vr x vc block src (both
// row by row): the first band of vr rows is built from the block, and every
// later band is a copy of the first.
void tile(double* dst, const double* src, int r, int c, int vr, int vc) {
  const size_t rowlen = static_cast<size_t>(c) * static_cast<size_t>(vc);
  const size_t band = static_cast<size_t>(vr) * rowlen;
  if (band == 0 || r == 0) return;
  for (int i = 0; i < vr; ++i) {
    double* row = dst + static_cast<size_t>(i) * rowlen;
    const double* s = src + static_cast<size_t>(i) * static_cast<size_t>(vc);
    if (vc == 1)
      std::fill(row, row + rowlen, s[0]);
    else
      for (int k = 0; k < c; ++k) std::memcpy(row + static_cast<size_t>(k) * static_cast<size_t>(vc), s, static_cast<size_t>(vc) * 8);
  }
  for (int k = 1; k < r; ++k) std::memcpy(dst + static_cast<size_t>(k) * band, dst, band * 8);
}

bool b_J(int n) {
  int r = 0, c = 0;
  if (!countarg(arg(n, 0), &r) || !countarg(arg(n, 1), &c)) return false;
  const Mat* v = arg(n, 2);
  if (v->kind == K_FCN) return vmerr(RC_VM_FCN);
  const int vr = v->rows, vc = v->cols;
  if (static_cast<double>(r) * vr > 2147483646.0 || static_cast<double>(c) * vc > 2147483646.0) return vmerr(RC_VM_RANGE);
  Mat* res = mkmat(nullptr, v->eltype, r * vr, c * vc);
  if (!res) return false;
  if (v->eltype == ET_STRUCT && v->fcn) {
    res->fcn = v->fcn;
    ++res->fcn->refcnt;
  }
  const size_t vn = v->n(), rn = res->n();
  if (v->eltype == ET_REAL || v->eltype == ET_CPLX) {
    tile(res->re(), v->re(), r, c, vr, vc);
    if (v->eltype == ET_CPLX) tile(res->re() + rn, v->re() + vn, r, c, vr, vc);
    return ret(n, res);
  }
  size_t q = 0;
  for (int i = 0; i < r * vr; ++i) {
    const size_t row = static_cast<size_t>(i % vr) * static_cast<size_t>(vc);
    for (int k = 0; k < c; ++k)
      for (size_t p = row; p < row + static_cast<size_t>(vc); ++p, ++q) {
        if (v->eltype == ET_STR) {
          const VStr* s = v->str()[p];
          res->str()[q] = s ? vstr_new(s->b, s->n - 1) : nullptr;
        } else {
          res->ptr()[q] = v->ptr()[p];
          if (res->ptr()[q]) mref(res->ptr()[q]);
        }
      }
  }
  return ret(n, res);
}

bool b_I(int n) {
  int r = 0, c = 0;
  if (!countarg(arg(n, 0), &r)) return false;
  c = r;
  if (n == 2 && !countarg(arg(n, 1), &c)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, r, c);
  if (!res) return false;
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j)
      res->re()[static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j)] = i == j;
  return ret(n, res);
}

// Element-wise functions: real arguments through F; complex arguments
// through the complex form G when there is one (else 3253).

constexpr int NOCX = -1;

template <double (*F)(double), int G = NOCX>
bool elem(int n) {
  const Mat* a = arg(n, 0);
  if (a->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (a->eltype == ET_CPLX && G != NOCX) {
    Mat* res = reusable(a) ? const_cast<Mat*>(a) : mkmat(nullptr, ET_CPLX, a->rows, a->cols);
    if (!res) return false;
    const size_t k = a->n();
    for (size_t i = 0; i < k; ++i) cx_apply(static_cast<CxFn>(G), a->re()[i], a->re()[k + i], &res->re()[i], &res->re()[k + i]);
    if (res == a) return true;
    return ret(n, res);
  }
  if (a->eltype != ET_REAL) return vmerr(a->eltype == ET_CPLX ? RC_VM_REAL : RC_VM_NUMERIC);
  Mat* res = reusable(a) ? const_cast<Mat*>(a) : mkmat(nullptr, ET_REAL, a->rows, a->cols);
  if (!res) return false;
  for (size_t i = 0; i < a->n(); ++i) {
    double x = a->re()[i];
    res->re()[i] = x >= misval ? x : vfix(F(x));
  }
  if (res == a) return true;
  return ret(n, res);
}

double f_sqrt(double x) { return x < 0 ? misval : std::sqrt(x); }
double f_log(double x) { return x <= 0 ? misval : std::log(x); }
double f_exp(double x) { return std::exp(x); }
double f_sin(double x) { return std::sin(x); }
double f_cos(double x) { return std::cos(x); }
double f_tan(double x) { return std::tan(x); }
double f_floor(double x) { return std::floor(x); }
double f_ceil(double x) { return std::ceil(x); }
double f_trunc(double x) { return std::trunc(x); }
// ln|Gamma(x)| by the expression language's own routine, so that both give
// the same digits; it keeps no state (the C library's lgamma writes the sign
// into a global). The poles 0, -1, -2, ... are missing.
double f_lngamma(double x) {
  static const FuncDef* const fn = findfunc("lngamma");
  FuncValue v;
  v.d = x;
  FuncCtx ctx;
  return fn->num(&v, 1, ctx);
}

bool b_abs(int n) {
  const Mat* a = arg(n, 0);
  if (a->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (a->eltype == ET_CPLX) {
    Mat* res = mkmat(nullptr, ET_REAL, a->rows, a->cols);
    if (!res) return false;
    for (size_t i = 0; i < a->n(); ++i) {
      double x = a->re()[i], y = a->re()[a->n() + i];
      res->re()[i] = x >= misval || y >= misval ? misval : vfix(std::hypot(x, y));
    }
    return ret(n, res);
  }
  if (a->eltype != ET_REAL) return vmerr(RC_VM_NUMERIC);
  Mat* res = mkmat(nullptr, ET_REAL, a->rows, a->cols);
  if (!res) return false;
  for (size_t i = 0; i < a->n(); ++i) res->re()[i] = a->re()[i] >= misval ? a->re()[i] : std::fabs(a->re()[i]);
  return ret(n, res);
}

bool b_round(int n) {
  const Mat* a = arg(n, 0);
  if (!needreal(a)) return false;
  double u = 1;
  if (n == 2) {
    if (!needrealscalar(arg(n, 1))) return false;
    u = arg(n, 1)->re()[0];
  }
  Mat* res = mkmat(nullptr, ET_REAL, a->rows, a->cols);
  if (!res) return false;
  for (size_t i = 0; i < a->n(); ++i) {
    double x = a->re()[i];
    res->re()[i] = vfix(fn_round(x, u));
  }
  return ret(n, res);
}

bool b_mod(int n) {
  const Mat* a = arg(n, 0);
  const Mat* b = arg(n, 1);
  if (!needreal(a) || !needreal(b)) return false;
  return ret(n, colonmap(a, b, [](double x, double y) {
               return x >= misval || y >= misval || y == 0 ? misval : vfix(x - y * std::floor(x / y));
             }));
}

// Sums of the non-missing elements: kind 0 all, 1 rows, 2 columns.
template <int Kind, bool Quad = false>
bool sums(int n) {
  const Mat* a = arg(n, 0);
  if (!neednum(a)) return false;
  const bool cx = a->eltype == ET_CPLX;
  const int r = Kind == 0 ? 1 : Kind == 1 ? a->rows : 1;
  const int c = Kind == 0 ? 1 : Kind == 1 ? 1 : a->cols;
  Mat* res = mkmat(nullptr, a->eltype, r, c);
  if (!res) return false;
  const size_t an = a->n(), rn = res->n();
  if (Kind == 0 && !cx && !Quad) {
    // four running sums in blocks: the loop vectorises
    double s4[4] = {0, 0, 0, 0};
    const double* x = a->re();
    size_t i = 0;
    for (; i + 4 <= an; i += 4)
      for (int l = 0; l < 4; ++l) s4[l] += x[i + static_cast<size_t>(l)] < misval ? x[i + static_cast<size_t>(l)] : 0.0;
    for (; i < an; ++i) s4[0] += x[i] < misval ? x[i] : 0.0;
    res->re()[0] = vfix((s4[0] + s4[1]) + (s4[2] + s4[3]));
    return ret(n, res);
  }
  std::vector<long double> sr(rn, 0), si(rn, 0);
  for (int i = 0; i < a->rows; ++i)
    for (int j = 0; j < a->cols; ++j) {
      size_t p = static_cast<size_t>(i) * static_cast<size_t>(a->cols) + static_cast<size_t>(j);
      double x = a->re()[p], y = cx ? a->re()[an + p] : 0;
      if (x >= misval || y >= misval) continue;
      size_t k = Kind == 0 ? 0 : Kind == 1 ? static_cast<size_t>(i) : static_cast<size_t>(j);
      sr[k] += x;
      si[k] += y;
    }
  for (size_t k = 0; k < rn; ++k) {
    res->re()[k] = vfix(static_cast<double>(sr[k]));
    if (cx) res->re()[rn + k] = vfix(static_cast<double>(si[k]));
  }
  return ret(n, res);
}

bool ismiss(const Mat* a, size_t i) {
  if (a->eltype == ET_REAL) return a->re()[i] >= misval;
  if (a->eltype == ET_CPLX) return a->re()[i] >= misval || a->re()[a->n() + i] >= misval;
  if (a->eltype == ET_STR) return vstr_len(a->str()[i]) == 0;
  return false;
}

template <bool Missing>
bool countmiss(int n) {
  const Mat* a = arg(n, 0);
  if (a->kind == K_FCN) return vmerr(RC_VM_FCN);
  double k = 0;
  for (size_t i = 0; i < a->n(); ++i) k += ismiss(a, i) == Missing;
  return ret(n, mkscalar(k));
}

bool b_eltype(int n) {
  const Mat* a = arg(n, 0);
  const char* s = a->kind == K_FCN ? "function" : etword(a->eltype);
  return ret(n, mkstrscalar(s, std::strlen(s)));
}

bool b_orgtype(int n) {
  const Mat* a = arg(n, 0);
  const char* s = a->kind == K_FCN   ? "function"
                  : a->isscalar()   ? "scalar"
                  : a->rows == 1    ? "rowvector"
                  : a->cols == 1    ? "colvector"
                                    : "matrix";
  return ret(n, mkstrscalar(s, std::strlen(s)));
}

template <int16_t Et>
bool istype(int n) {
  const Mat* a = arg(n, 0);
  return ret(n, mkscalar(a->kind == K_MAT && a->eltype == Et));
}

bool b_strlen(int n) {
  const Mat* a = arg(n, 0);
  if (!needstr(a)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, a->rows, a->cols);
  if (!res) return false;
  for (size_t i = 0; i < a->n(); ++i) res->re()[i] = static_cast<double>(vstr_len(a->str()[i]));
  return ret(n, res);
}

template <int Mode>  // 0 upper, 1 lower, 2 trim
bool strmap(int n) {
  const Mat* a = arg(n, 0);
  if (!needstr(a)) return false;
  Mat* res = mkmat(nullptr, ET_STR, a->rows, a->cols);
  if (!res) return false;
  for (size_t i = 0; i < a->n(); ++i) {
    std::string s(vstr_ptr(a->str()[i]), vstr_len(a->str()[i]));
    if (Mode == 0)
      for (char& ch : s) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
    if (Mode == 1)
      for (char& ch : s) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
    if (Mode == 2) {
      size_t b = s.find_first_not_of(' ');
      size_t e = s.find_last_not_of(' ');
      s = b == std::string::npos ? "" : s.substr(b, e - b + 1);
    }
    res->str()[i] = vstr_new(s.data(), s.size());
  }
  return ret(n, res);
}

bool b_substr(int n) {
  const Mat* s = arg(n, 0);
  if (!needstrscalar(s) || !needrealscalar(arg(n, 1)) || !needrealscalar(arg(n, 2))) return false;
  const size_t len = vstr_len(s->str()[0]);
  double b = arg(n, 1)->re()[0], l = arg(n, 2)->re()[0];
  std::string out;
  if (b < misval && b != 0) {
    long long start = b < 0 ? static_cast<long long>(len) + static_cast<long long>(b) : static_cast<long long>(b) - 1;
    if (start >= 0 && start < static_cast<long long>(len)) {
      long long cnt = l >= misval ? static_cast<long long>(len) - start : static_cast<long long>(l);
      if (cnt > 0) out.assign(vstr_ptr(s->str()[0]) + start, std::min<long long>(cnt, static_cast<long long>(len) - start));
    }
  }
  return ret(n, mkstrscalar(out.data(), out.size()));
}

bool b_strofreal(int n) {
  const Mat* a = arg(n, 0);
  if (!needreal(a)) return false;
  std::string fmt = "%9.0g";
  if (n == 2) {
    if (!needstrscalar(arg(n, 1))) return false;
    fmt.assign(vstr_ptr(arg(n, 1)->str()[0]), vstr_len(arg(n, 1)->str()[0]));
    if (chkfmt(fmt.c_str(), FMTK_NUM)) return vmerr(RC_VM_FORMAT);
  }
  Mat* res = mkmat(nullptr, ET_STR, a->rows, a->cols);
  if (!res) return false;
  for (size_t i = 0; i < a->n(); ++i) {
    std::string t = sreforms(fmt.c_str(), a->re()[i]);
    size_t b = t.find_first_not_of(' ');
    t = b == std::string::npos ? "" : t.substr(b);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    res->str()[i] = vstr_new(t.data(), t.size());
  }
  return ret(n, res);
}

// Re(), Im(): parts of a numeric matrix.
template <bool Imag>
bool part(int n) {
  const Mat* a = arg(n, 0);
  if (!neednum(a)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, a->rows, a->cols);
  if (!res) return false;
  for (size_t i = 0; i < a->n(); ++i)
    res->re()[i] = Imag ? (a->eltype == ET_CPLX ? a->re()[a->n() + i] : 0) : a->re()[i];
  return ret(n, res);
}

bool b_C(int n) {
  const Mat* a = arg(n, 0);
  if (a->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (n == 1) {
    if (a->eltype == ET_CPLX) {
      Mat* res = mdup(a);
      return ret(n, res);
    }
    if (!needreal(a)) return false;
    Mat* res = mkmat(nullptr, ET_CPLX, a->rows, a->cols);
    if (!res) return false;
    std::memcpy(res->re(), a->re(), a->n() * 8);
    std::memset(res->im(), 0, a->n() * 8);
    return ret(n, res);
  }
  const Mat* b = arg(n, 1);
  if (!needreal(a) || !needreal(b)) return false;
  int r, c;
  if (!cconform(a, b, &r, &c)) return vmerr(RC_VM_CONFORM);
  Mat* res = mkmat(nullptr, ET_CPLX, r, c);
  if (!res) return false;
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      size_t k = static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j);
      res->re()[k] = a->re()[cidx(a, i, j)];
      res->re()[res->n() + k] = b->re()[cidx(b, i, j)];
      if (res->re()[k] >= misval || res->re()[res->n() + k] >= misval) res->re()[k] = res->re()[res->n() + k] = misval;
    }
  return ret(n, res);
}

bool b_conj(int n) {
  const Mat* a = arg(n, 0);
  if (!neednum(a)) return false;
  Mat* res = mdup(a);
  if (!res) return false;
  if (res->eltype == ET_CPLX)
    for (size_t i = 0; i < res->n(); ++i) {
      double& y = res->re()[res->n() + i];
      if (y < misval) y = -y;
    }
  return ret(n, res);
}

bool b_diagonal(int n) {
  const Mat* a = arg(n, 0);
  if (!neednum(a)) return false;
  const int k = std::min(a->rows, a->cols);
  Mat* res = mkmat(nullptr, a->eltype, k, 1);
  if (!res) return false;
  for (int i = 0; i < k; ++i) {
    size_t p = static_cast<size_t>(i) * static_cast<size_t>(a->cols) + static_cast<size_t>(i);
    res->re()[i] = a->re()[p];
    if (a->eltype == ET_CPLX) res->re()[static_cast<size_t>(k) + static_cast<size_t>(i)] = a->re()[a->n() + p];
  }
  return ret(n, res);
}

bool b_uniform(int n) {
  int r = 0, c = 0;
  if (!countarg(arg(n, 0), &r) || !countarg(arg(n, 1), &c)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, r, c);
  if (!res) return false;
  for (size_t i = 0; i < res->n(); ++i) res->re()[i] = urnuni();
  return ret(n, res);
}

bool b_const(int n, double x) { return ret(n, mkscalar(x)); }
bool b_epsilon(int n) {
  if (!needrealscalar(arg(n, 0))) return false;
  double x = arg(n, 0)->re()[0];
  return ret(n, mkscalar(x >= misval ? misval : std::fabs(x) * 2.220446049250313e-16));
}
bool b_maxdouble(int n) { return b_const(n, 8.9884656743115785e+307); }
bool b_mindouble(int n) { return b_const(n, -1.7976931348623157e+308); }
bool b_smallestdouble(int n) { return b_const(n, 2.2250738585072014e-308); }

// printf-style formatting; returns false with 3302/3001 set.
bool vformat(int n, std::string& out) {
  const Mat* f = arg(n, 0);
  if (f->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (!f->isscalar()) return vmerr(RC_VM_SCALAR);
  if (f->eltype != ET_STR) return vmerr(RC_VM_STRING);
  const std::string fmt(vstr_ptr(f->str()[0]), vstr_len(f->str()[0]));
  int next = 1;
  for (size_t i = 0; i < fmt.size();) {
    char ch = fmt[i];
    if (ch == '\\' && i + 1 < fmt.size()) {
      char e = fmt[i + 1];
      if (e == 'n') out += '\n';
      else if (e == 'r') out += '\r';
      else if (e == 't') out += '\t';
      else if (e == '\\') out += '\\';
      else {
        out += ch;
        ++i;
        continue;
      }
      i += 2;
      continue;
    }
    if (ch != '%') {
      out += ch;
      ++i;
      continue;
    }
    if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    // a directive
    size_t j = i + 1;
    std::string d = "%";
    bool centre = false;
    if (j < fmt.size() && fmt[j] == '~') {
      centre = true;
      d += fmt[j++];
    } else if (j < fmt.size() && fmt[j] == '-') {
      d += fmt[j++];
    }
    if (j < fmt.size() && fmt[j] == 'd' && !centre) {
      while (j < fmt.size() && fmt[j] != ' ') d += fmt[j++];
    } else {
      while (j < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[j]))) d += fmt[j++];
      if (j < fmt.size() && (fmt[j] == '.' || fmt[j] == ',')) {
        d += fmt[j++];
        while (j < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[j]))) d += fmt[j++];
      }
      if (j >= fmt.size() || !std::isalpha(static_cast<unsigned char>(fmt[j]))) return vmerr(RC_VM_FORMAT);
      d += fmt[j++];
      if (j < fmt.size() && fmt[j] == 'c' && d.back() != 's') d += fmt[j++];
    }
    if (d.size() > 78) return vmerr(RC_VM_FORMAT);
    if (next >= n) return vmerr(RC_VM_NARGS);
    const Mat* a = arg(n, next++);
    if (a->kind == K_FCN) return vmerr(RC_VM_FCN);
    if (!a->isscalar()) return vmerr(RC_VM_SCALAR);
    if (d.back() == 's') {
      if (a->eltype != ET_STR) return vmerr(RC_VM_STRING);
      std::string s(vstr_ptr(a->str()[0]), vstr_len(a->str()[0]));
      bool leftj = d.size() > 1 && d[1] == '-';
      std::string digits;
      for (char q : d)
        if (std::isdigit(static_cast<unsigned char>(q))) digits += q;
      size_t w = digits.empty() ? 0 : std::stoul(digits.substr(0, 6));
      if (s.size() < w) {
        size_t pad = w - s.size();
        if (centre) s = std::string(pad / 2, ' ') + s + std::string(pad - pad / 2, ' ');
        else if (leftj) s += std::string(pad, ' ');
        else s = std::string(pad, ' ') + s;
      }
      out += s;
    } else {
      if (centre) return vmerr(RC_VM_FORMAT);
      if (a->eltype != ET_REAL) return vmerr(RC_VM_REAL);
      std::string f2 = d;
      const bool bare = f2 == "%g" || f2 == "%f" || f2 == "%e";
      if (bare) f2 = f2 == "%g" ? "%12.0g" : f2 == "%f" ? "%12.6f" : "%12.6e";
      if (chkfmt(f2.c_str(), FMTK_NUM)) return vmerr(RC_VM_FORMAT);
      std::string v = sreforms(f2.c_str(), a->re()[0]);
      if (bare) {
        size_t b = v.find_first_not_of(' ');
        v = b == std::string::npos ? "" : v.substr(b);
      }
      out += v;
    }
    i = j;
  }
  if (next != n) return vmerr(RC_VM_NARGS);
  return true;
}

// printf() to the results, errprintf() to the error channel.
template <int Level>
bool b_printf(int n) {
  std::string s;
  if (!vformat(n, s)) return false;
  // printf() follows displayas(); errprintf() always goes to the error channel
  int prev = Level == OUT_RESULT ? vlib_beginout() : setoutlev(Level);
  spoutsml(s.c_str());
  setoutlev(prev);
  return retvoid(n);
}

bool b_sprintf(int n) {
  std::string s;
  if (!vformat(n, s)) return false;
  return ret(n, mkstrscalar(s.data(), s.size()));
}

bool b_display(int n) {
  const Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  int prev = vlib_beginout();
  std::string s(vstr_ptr(a->str()[0]), vstr_len(a->str()[0]));
  spoutsml((s + "\n").c_str());
  setoutlev(prev);
  return retvoid(n);
}

// _error(rc [, msg]) and error(rc): stop with a run-time error.
bool b_error(int n) {
  const Mat* a = arg(n, 0);
  if (!needrealscalar(a)) return false;
  double x = a->re()[0];
  int rc = x >= 1 && x < 2147483647.0 ? static_cast<int>(x) : 3300;
  if (n == 2) {
    const Mat* m = arg(n, 1);
    if (!needstrscalar(m)) return false;
    return vmerrmsg(rc, std::string(vstr_ptr(m->str()[0]), vstr_len(m->str()[0])));
  }
  return vmerr(rc);
}

bool b_args(int n) { return ret(n, mkscalar(vm.fr.nargs)); }
bool b_callersversion(int n) { return ret(n, mkscalar(vm.fr.callerversion / 100.0)); }

bool b_exit(int n) {
  int rc = 0;
  if (n == 1) {
    if (!needrealscalar(arg(n, 0))) return false;
    double x = arg(n, 0)->re()[0];
    rc = x >= 0 && x < 2147483647.0 ? static_cast<int>(x) : 0;
  }
  if (rc == 0) return vmerr(VRC_SILENT);
  return vmerr(rc);
}

// Built-ins implemented here, with their types and argument counts.
const LibRow impls[] = {
    {"abs", E_NUM, O_MATRIX, 1, 1, b_abs},
    {"cols", E_REAL, O_SCALAR, 1, 1, b_cols},
    {"rows", E_REAL, O_SCALAR, 1, 1, b_rows},
    {"length", E_REAL, O_SCALAR, 1, 1, b_length},
    {"exp", E_NUM, O_MATRIX, 1, 1, elem<f_exp, CX_EXP>},
    {"log", E_NUM, O_MATRIX, 1, 1, elem<f_log, CX_LOG>},
    {"ln", E_NUM, O_MATRIX, 1, 1, elem<f_log, CX_LOG>},
    {"sqrt", E_NUM, O_MATRIX, 1, 1, elem<f_sqrt, CX_SQRT>},
    {"sin", E_NUM, O_MATRIX, 1, 1, elem<f_sin, CX_SIN>},
    {"cos", E_NUM, O_MATRIX, 1, 1, elem<f_cos, CX_COS>},
    {"tan", E_NUM, O_MATRIX, 1, 1, elem<f_tan, CX_TAN>},
    {"lngamma", E_NUM, O_MATRIX, 1, 1, elem<f_lngamma, CX_LNGAMMA>},
    {"floor", E_REAL, O_MATRIX, 1, 1, elem<f_floor>},
    {"ceil", E_REAL, O_MATRIX, 1, 1, elem<f_ceil>},
    {"trunc", E_REAL, O_MATRIX, 1, 1, elem<f_trunc>},
    {"round", E_REAL, O_MATRIX, 1, 2, b_round},
    {"mod", E_REAL, O_MATRIX, 2, 2, b_mod},
    {"J", E_TRANS, O_MATRIX, 3, 3, b_J},
    {"I", E_TRANS, O_MATRIX, 1, 2, b_I},
    {"uniform", E_REAL, O_MATRIX, 2, 2, b_uniform},
    {"sum", E_NUM, O_SCALAR, 1, 1, sums<0>},
    {"quadsum", E_NUM, O_SCALAR, 1, 1, sums<0, true>},
    {"rowsum", E_NUM, O_COLVEC, 1, 1, sums<1>},
    {"quadrowsum", E_NUM, O_COLVEC, 1, 1, sums<1>},
    {"colsum", E_NUM, O_ROWVEC, 1, 1, sums<2>},
    {"quadcolsum", E_NUM, O_ROWVEC, 1, 1, sums<2>},
    {"missing", E_REAL, O_SCALAR, 1, 1, countmiss<true>},
    {"nonmissing", E_REAL, O_SCALAR, 1, 1, countmiss<false>},
    {"eltype", E_STR, O_SCALAR, 1, 1, b_eltype},
    {"orgtype", E_STR, O_SCALAR, 1, 1, b_orgtype},
    {"isreal", E_REAL, O_SCALAR, 1, 1, istype<ET_REAL>},
    {"iscomplex", E_REAL, O_SCALAR, 1, 1, istype<ET_CPLX>},
    {"isstring", E_REAL, O_SCALAR, 1, 1, istype<ET_STR>},
    {"ispointer", E_REAL, O_SCALAR, 1, 1, istype<ET_PTR>},
    {"strlen", E_REAL, O_MATRIX, 1, 1, b_strlen},
    {"strupper", E_STR, O_MATRIX, 1, 1, strmap<0>},
    {"strlower", E_STR, O_MATRIX, 1, 1, strmap<1>},
    {"strtrim", E_STR, O_MATRIX, 1, 1, strmap<2>},
    {"substr", E_STR, O_SCALAR, 3, 3, b_substr},
    {"strofreal", E_STR, O_MATRIX, 1, 2, b_strofreal},
    {"Re", E_REAL, O_MATRIX, 1, 1, part<false>},
    {"Im", E_REAL, O_MATRIX, 1, 1, part<true>},
    {"C", E_CPLX, O_MATRIX, 1, 2, b_C},
    {"conj", E_NUM, O_MATRIX, 1, 1, b_conj},
    {"diagonal", E_NUM, O_COLVEC, 1, 1, b_diagonal},
    {"epsilon", E_REAL, O_SCALAR, 1, 1, b_epsilon},
    {"maxdouble", E_REAL, O_SCALAR, 0, 0, b_maxdouble},
    {"mindouble", E_REAL, O_SCALAR, 0, 0, b_mindouble},
    {"smallestdouble", E_REAL, O_SCALAR, 0, 0, b_smallestdouble},
    {"printf", E_TRANS, O_MATRIX, 1, 200, b_printf<OUT_RESULT>},
    {"errprintf", E_TRANS, O_MATRIX, 1, 200, b_printf<OUT_ERROR>},
    {"sprintf", E_STR, O_SCALAR, 1, 200, b_sprintf},
    {"display", E_TRANS, O_MATRIX, 1, 2, b_display},
    {"_error", E_TRANS, O_MATRIX, 1, 2, b_error},
    {"error", E_REAL, O_SCALAR, 1, 1, b_error},
    {"exit", E_TRANS, O_MATRIX, 0, 1, b_exit},
    {"args", E_REAL, O_SCALAR, 0, 0, b_args},
    {"callersversion", E_REAL, O_SCALAR, 0, 0, b_callersversion},
};

std::vector<Builtin> table;
std::unordered_map<std::string, int> byname;

void build() {
  for (const char* nm : names) {
    Builtin b;
    b.name = nm;
    b.el = E_TRANS;
    b.org = O_MATRIX;
    b.minargs = 0;
    b.maxargs = 20;
    auto take = [&b](const LibRow& row) {
      b.el = row.el;
      b.org = row.org;
      b.minargs = row.minargs;
      b.maxargs = row.maxargs;
      b.fn = row.fn;
    };
    for (const LibRow& t : impls)
      if (!std::strcmp(t.name, nm)) take(t);
    // the family files supply what this file does not implement
    for (LibRows f : {lib_math_rows(), lib_str_rows(), lib_st_rows(), lib_stx_rows(), lib_la_rows(),
                      lib_file_rows(), lib_expr_rows(), lib_num_rows(), lib_svy_rows(), lib_sys_rows(),
                      lib_io_rows(), lib_stsys_rows()})
      for (size_t k = 0; k < f.n && !b.fn; ++k)
        if (!std::strcmp(f.rows[k].name, nm)) take(f.rows[k]);
    byname.emplace(nm, static_cast<int>(table.size()));
    table.push_back(b);
  }
}

}  // namespace

const std::vector<Builtin>& builtins() {
  if (table.empty()) build();
  return table;
}

int builtin_find(const char* name) {
  builtins();
  auto it = byname.find(name);
  return it == byname.end() ? -1 : it->second;
}

bool builtin_call(int idx, int nargs) {
  const std::vector<Builtin>& t = builtins();
  if (idx < 0 || static_cast<size_t>(idx) >= t.size()) return vmerr(RC_VM_BUILTIN);
  const Builtin& b = t[static_cast<size_t>(idx)];
  if (!b.fn) return vmerrmsg(RC_VM_BUILTIN, std::string(b.name) + "() not available in this build");
  if (nargs < b.minargs || nargs > b.maxargs) {
    vmerr(RC_VM_NARGS);
    vm_tbbuiltin(b.name);
    return false;
  }
  const int outer = vm.builtin_running;
  vm.builtin_running = idx;
  bool ok = b.fn(nargs);
  vm.builtin_running = outer;
  // the traceback names the built-in that failed, except those whose
  // purpose is to stop with the caller's own code
  if (!ok && std::strcmp(b.name, "exit") && std::strcmp(b.name, "error") && std::strcmp(b.name, "_error"))
    vm_tbbuiltin(b.name);
  return ok;
}
