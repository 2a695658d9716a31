// Listing of Vemo values (`oplist2`): a 1 x 1 value as two blanks and the
// value; anything larger as a framed matrix with column numbers above and
// row numbers at the left, wrapped to the line size, and only the lower
// triangle of symmetric (or Hermitian) matrices under a heading.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "data/value.h"
#include "output/format.h"
#include "output/output.h"
#include "vemo/vm.h"

namespace {

std::string trim(const char* s) {
  std::string t(s);
  size_t a = t.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  size_t b = t.find_last_not_of(' ');
  return t.substr(a, b - a + 1);
}

// A string shown so that any byte is visible.
std::string showstr(const VStr* s) {
  std::string out;
  const size_t n = vstr_len(s);
  const char* p = vstr_ptr(s);
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (c < 32 || c == 127) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string element(const Mat* m, size_t k) {
  switch (m->eltype) {
    case ET_REAL: return vm_fmtreal(m->re()[k]);
    case ET_CPLX: return vm_fmtcplx(m->re()[k], m->re()[m->n() + k]);
    case ET_STR: return showstr(m->str()[k]);
    case ET_PTR: {
      if (!m->ptr()[k]) return "NULL";
      char buf[40];
      std::snprintf(buf, sizeof buf, "%p", static_cast<void*>(m->ptr()[k]));
      return buf;
    }
    case ET_STRUCT: return "struct";
    default: return "?";
  }
}

// 0 not symmetric, 1 symmetric, 2 Hermitian, 3 symmetric only (complex).
int symkind(const Mat* m) {
  if (m->rows != m->cols || m->rows < 2) return 0;
  const int n = m->rows;
  const size_t nn = m->n();
  if (m->eltype == ET_REAL) {
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < i; ++j)
        if (m->re()[static_cast<size_t>(i * n + j)] != m->re()[static_cast<size_t>(j * n + i)]) return 0;
    return 1;
  }
  if (m->eltype != ET_CPLX) return 0;
  bool herm = true, sym = true;
  for (int i = 0; i < n && (herm || sym); ++i)
    for (int j = 0; j <= i; ++j) {
      size_t p = static_cast<size_t>(i * n + j), q = static_cast<size_t>(j * n + i);
      double ar = m->re()[p], ai = m->re()[nn + p], br = m->re()[q], bi = m->re()[nn + q];
      if (!(ar == br && ai == -bi)) herm = false;
      if (!(ar == br && ai == bi)) sym = false;
    }
  return herm ? 2 : sym ? 3 : 0;
}

void say(const std::string& zmcl) { spoutsml(zmcl.c_str()); }

// ZMCL text of plain characters (braces made literal).
std::string lit(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '{') out += "{c -(}";
    else if (c == '}') out += "{c )-}";
    else out.push_back(c);
  }
  return out;
}

}  // namespace

std::string vm_fmtreal(double x) { return trim(sreforms("%12.0g", x)); }

std::string vm_fmtcplx(double re, double im) {
  if (re >= misval || im >= misval) return ".";
  if (re == 0 && im != 0) return vm_fmtreal(im) + "i";
  std::string s = vm_fmtreal(re);
  if (im < 0) s += " - " + vm_fmtreal(-im) + "i";
  else s += " + " + vm_fmtreal(im) + "i";
  return s;
}

void vm_list(const Mat* m) {
  int prev = setoutlev(OUT_RESULT);
  if (m->kind == K_FCN) {
    spout21(((m->fcn ? m->fcn->name : std::string("")) + "() is not a matrix\n").c_str());
    setoutlev(prev);
    return;
  }
  if (m->rows == 0 || m->cols == 0) {
    setoutlev(prev);
    return;
  }
  if (m->eltype == ET_STRUCT) {
    std::string s = "  " + std::to_string(m->rows) + " x " + std::to_string(m->cols) + " struct " +
                    (m->fcn ? m->fcn->name : std::string(""));
    spout21((s + "\n").c_str());
    setoutlev(prev);
    return;
  }
  if (m->isscalar()) {
    say("  " + lit(element(m, 0)) + "\n");
    setoutlev(prev);
    return;
  }
  const int r = m->rows, c = m->cols;
  const int sym = symkind(m);
  std::vector<std::string> cells(m->n());
  std::vector<int> w(static_cast<size_t>(c), 0);
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      if (sym && j > i) continue;
      size_t k = static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j);
      cells[k] = element(m, k);
      w[static_cast<size_t>(j)] = std::max(w[static_cast<size_t>(j)], static_cast<int>(cells[k].size()));
    }
  for (int j = 0; j < c; ++j)
    w[static_cast<size_t>(j)] = std::max(w[static_cast<size_t>(j)], static_cast<int>(std::to_string(j + 1).size()));
  const int rw = static_cast<int>(std::to_string(r).size());
  const int margin = 2 + rw + 1;  // "  " row number " "
  const bool left = m->eltype == ET_STR;
  if (sym) say(sym == 1 ? "[symmetric]\n" : sym == 2 ? "[Hermitian]\n" : "[symmetriconly]\n");
  const int width = out.linesize > 20 ? out.linesize : 80;
  int j0 = 0;
  while (j0 < c) {
    // as many columns as fit
    int j1 = j0, used = margin + 1 + 3;
    while (j1 < c && (j1 == j0 || used + w[static_cast<size_t>(j1)] + 2 <= width)) {
      used += w[static_cast<size_t>(j1)] + 2;
      ++j1;
    }
    int inner = 2;
    for (int j = j0; j < j1; ++j) inner += w[static_cast<size_t>(j)] + 2;
    std::string head(static_cast<size_t>(margin + 1), ' ');
    for (int j = j0; j < j1; ++j) {
      std::string num = std::to_string(j + 1);
      head += "  " + std::string(static_cast<size_t>(w[static_cast<size_t>(j)]) - num.size(), ' ') + num;
    }
    say(head + "\n");
    std::string pad(static_cast<size_t>(margin), ' ');
    say(pad + "{c TLC}{hline " + std::to_string(inner) + "}{c TRC}\n");
    for (int i = 0; i < r; ++i) {
      std::string num = std::to_string(i + 1);
      std::string line = "  " + std::string(static_cast<size_t>(rw) - num.size(), ' ') + num + " {c |}";
      for (int j = j0; j < j1; ++j) {
        const std::string& s = cells[static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j)];
        std::string fill(static_cast<size_t>(w[static_cast<size_t>(j)]) - std::min(s.size(), static_cast<size_t>(w[static_cast<size_t>(j)])), ' ');
        line += "  " + (left ? lit(s) + fill : fill + lit(s));
      }
      line += "  {c |}\n";
      say(line);
    }
    say(pad + "{c BLC}{hline " + std::to_string(inner) + "}{c BRC}\n");
    j0 = j1;
  }
  setoutlev(prev);
}
