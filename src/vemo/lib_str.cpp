// String built-ins that work on whole matrices rather than element by
// element: byte codes to and from text, splitting text into tokens, and
// converting text to numbers in place.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/value.h"
#include "output/rc.h"
#include "vemo/lib.h"

using namespace vlib;

namespace {

// ascii(s): the byte codes of a string scalar as a real row vector.
bool b_ascii(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  const std::string s = sval(a);
  Mat* res = mkmat(nullptr, ET_REAL, s.empty() ? 0 : 1, static_cast<int>(s.size()));
  if (!res) return false;
  for (size_t k = 0; k < s.size(); ++k) res->re()[k] = static_cast<unsigned char>(s[k]);
  return ret(n, res);
}

// char(v): the string of the byte codes in the real vector v (codes outside
// 0 to 255, and missing values, are skipped).
bool b_char(int n) {
  Mat* a = arg(n, 0);
  if (!needreal(a) || !readable(a)) return false;
  if (a->rows != 1 && a->cols != 1 && a->n()) return vmerr(RC_VM_VECTOR);
  std::string s;
  for (size_t k = 0; k < a->n(); ++k) {
    const double x = a->re()[k];
    if (x >= 0 && x <= 255) s += static_cast<char>(static_cast<unsigned char>(x));
  }
  return retstr(n, s);
}

// tokens(s [, parsechars]): the words of s as a string row vector. Words are
// separated by blanks (or the characters of parsechars, each of which is a
// token of its own); double quotes and compound quotes keep a token whole.
bool b_tokens(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  std::string seps = " ";
  if (n == 2) {
    if (!needstrscalar(arg(n, 1))) return false;
    seps = sval(arg(n, 1));
  }
  const std::string s = sval(a);
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] == ' ' && seps.find(' ') != std::string::npos) {
      ++i;
      continue;
    }
    if (seps.find(s[i]) != std::string::npos) {
      out.emplace_back(1, s[i++]);
      continue;
    }
    size_t j = i;
    if (s[j] == '"') {
      size_t e = s.find('"', j + 1);
      j = e == std::string::npos ? s.size() : e + 1;
    } else if (s.compare(j, 2, "`\"") == 0) {
      int depth = 0;
      while (j < s.size()) {
        if (s.compare(j, 2, "`\"") == 0) {
          ++depth;
          j += 2;
        } else if (s.compare(j, 2, "\"'") == 0) {
          j += 2;
          if (--depth == 0) break;
        } else {
          ++j;
        }
      }
    } else {
      while (j < s.size() && seps.find(s[j]) == std::string::npos) {
        if (s[j] == '"') {
          size_t e = s.find('"', j + 1);
          j = e == std::string::npos ? s.size() : e + 1;
        } else {
          ++j;
        }
      }
    }
    out.push_back(s.substr(i, j - i));
    i = j;
  }
  Mat* res = mkmat(nullptr, ET_STR, out.empty() ? 1 : 1, static_cast<int>(out.size()));
  if (!res) return false;
  for (size_t k = 0; k < out.size(); ++k) res->str()[k] = vstr_new(out[k].data(), out[k].size());
  return ret(n, res);
}

// _strtoreal(S, R): R gets the numbers written in S (missing where an
// element is not a number); the result is the position of the first element
// that is not a number, or 0.
bool b_strtoreal(int n) {
  Mat* s = arg(n, 0);
  Mat* r = arg(n, 1);
  if (!needstr(s) || !readable(s)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, s->rows, s->cols);
  if (!res) return false;
  double first = 0;
  for (size_t k = 0; k < s->n(); ++k) {
    std::string t = sval(s, k);
    size_t b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
    t = b == std::string::npos ? "" : t.substr(b, e - b + 1);
    double v = misval;
    bool ok = false;
    if (t == ".") {
      ok = true;
    } else if (t.size() == 2 && t[0] == '.' && t[1] >= 'a' && t[1] <= 'z') {
      v = misval_k(t[1] - 'a' + 1);
      ok = true;
    } else if (!t.empty()) {
      char* end = nullptr;
      v = std::strtod(t.c_str(), &end);
      ok = end && *end == 0 && std::isfinite(v) && t.find_first_of("xXnN") == std::string::npos;
      if (!ok) v = misval;
    }
    if (!ok && first == 0) first = static_cast<double>(k + 1);
    res->re()[k] = v;
  }
  if (r->view && !mmaterialise(r)) {
    mfree(res);
    return false;
  }
  mswap(r, res);
  mfree(res);
  return ret(n, mkscalar(first));
}

const LibRow rows[] = {
    {"ascii", E_REAL, O_ROWVEC, 1, 1, b_ascii},
    {"char", E_STR, O_SCALAR, 1, 1, b_char},
    {"tokens", E_STR, O_ROWVEC, 1, 2, b_tokens},
    {"_strtoreal", E_REAL, O_SCALAR, 2, 2, b_strtoreal},
};

}  // namespace

LibRows lib_str_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
