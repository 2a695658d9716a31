// `postfile`, `post`, `postclose` and `postutil`: programs write result rows
// straight into a new .dta file (release 113, most significant byte first)
// without touching the dataset in memory. Each handle owns a record buffer
// and a temporary file beside its target; the rows go to the temporary file
// as the buffer fills, and closing the handle writes the observation count
// into the header and renames the file over the target. So the target is
// either what it was before or a complete dataset, never a half-written one.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "files/atomicfile.h"
#include "files/byteorder.h"
#include "files/dta.h"
#include "files/files.h"
#include "files/textload.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// A record must stay narrower than this many bytes.
constexpr int POST_MAXWIDTH = 32767;
// Most bytes a handle buffers, whatever every() asks for.
constexpr long POST_MAXBUF = 64L << 20;
// Offset of the observation count in a release-113 header.
constexpr long HDR_NOBS = 6;

struct PostVar {
  std::string name;  // variable name in the file
  int type = 0;      // storage type
  int off = 0;       // byte offset in a record
};

struct PostHandle {
  std::string name;                 // the handle
  std::string fn;                   // target file name (with extension)
  std::vector<PostVar> vars;        // in file order
  int width = 0;                    // bytes per record
  long capacity = 1;                // records the buffer holds
  long nbuf = 0;                    // records buffered and not yet written
  long nfile = 0;                   // records already in the temporary file
  std::vector<unsigned char> buf;   // capacity x width bytes, file byte order
  AtomicFile af;                    // the temporary file beside the target
};

struct PostState {
  std::map<std::string, PostHandle> handles;  // open handles by name
  bool atexitset = false;                     // the shutdown writer is registered
};
PostState pst;

// The display format a posted variable gets.
std::string postfmt(int type) {
  switch (type) {
    case ST_BYTE: case ST_INT: return "%8.0g";
    case ST_LONG: return "%12.0g";
    case ST_FLOAT: return "%9.0g";
    case ST_DOUBLE: return "%10.0g";
    default: {
      const std::string width = std::to_string(type);
      return '%' + width + 's';
    }
  }
}

// The integer cell code for x under posting's rule: x truncated when it lies
// in lo..hi, the code of its missing value when missing, else the code of `.`.
long postint(double x, long lo, long hi, long miss) {
  if (ismissing(x)) {
    int k = missing_code(x);
    return miss + (k >= 0 && k <= 26 ? k : 0);
  }
  if (!(x >= static_cast<double>(lo) && x <= static_cast<double>(hi))) return miss;
  return static_cast<long>(x);  // the conversion truncates toward zero
}

// Writes x as a field of type t at p in the file's byte order.
void postnum(int t, double x, unsigned char* p) {
  const bool swap = bo_native() != BO_HILO;
  switch (t) {
    case ST_BYTE: {
      signed char v = static_cast<signed char>(postint(x, -127, 100, 101));
      std::memcpy(p, &v, 1);
      return;
    }
    case ST_INT: {
      int16_t v = static_cast<int16_t>(postint(x, -32767, 32740, 32741));
      std::memcpy(p, &v, 2);
      break;
    }
    case ST_LONG: {
      int32_t v = static_cast<int32_t>(postint(x, -2147483647L, 2147483620L, 2147483621L));
      std::memcpy(p, &v, 4);
      break;
    }
    default:  // float and double: the store's codec rounds and keeps missing codes
      cell_put(t, p, x);
      break;
  }
  if (swap) bo_swap(p, typewidth(t));
}

// The header and descriptors of an empty dataset of the handle's variables.
std::vector<unsigned char> postheader(const PostHandle& h) {
  ByteWriter w(true);
  // the whole header in one allocation: 109 bytes before the variables, 7
  // after them, and 1 + 33 + 2 + 12 + 33 + 81 for each
  w.buf.reserve(116 + 162 * h.vars.size());
  w.u1(113);
  w.u1(BO_HILO);
  w.u1(1);
  w.u1(0);
  w.u2(static_cast<unsigned>(h.vars.size()));
  w.u4(0);
  w.text("", 81);
  w.text(dta_timestamp(), 18);
  for (const PostVar& v : h.vars) w.u1(static_cast<unsigned>(v.type));
  for (const PostVar& v : h.vars) w.text(v.name, 33);
  for (size_t k = 0; k <= h.vars.size(); ++k) w.u2(0);
  for (const PostVar& v : h.vars) w.text(postfmt(v.type), 12);
  w.grow(h.vars.size() * 33);  // no value labels
  w.grow(h.vars.size() * 81);  // no variable labels
  w.grow(5);                   // the end of the expansion fields
  return w.buf;
}

// The file-error message of a failed write; the temporary file is gone.
int writefailed(PostHandle& h) {
  af_abort(h.af);
  return fierr(RC_DISKFULL, h.fn.c_str());
}

// Moves the buffered records to the temporary file. 0 or 699 (printed).
int flushbuf(PostHandle& h) {
  if (!h.nbuf) return 0;
  if (af_write(h.af, h.buf.data(), static_cast<size_t>(h.nbuf) * static_cast<size_t>(h.width)))
    return writefailed(h);
  h.nfile += h.nbuf;
  h.nbuf = 0;
  return 0;
}

// Writes what is buffered, sets the count in the header and puts the file in
// the target's place. 0 or 699 (printed); the handle is not forgotten here.
int finish(PostHandle& h) {
  if (int rc = flushbuf(h)) return rc;
  unsigned char n[4];
  bo_put4(n, static_cast<uint32_t>(h.nfile), true);
  if (af_pwrite(h.af, n, 4, HDR_NOBS)) return writefailed(h);
  if (af_commit(h.af)) return fierr(RC_DISKFULL, h.fn.c_str());
  return 0;
}

// Finishes the handle and forgets it; 0 or the code of the failed write.
int closehandle(const std::string& name) {
  auto it = pst.handles.find(name);
  int rc = finish(it->second);
  pst.handles.erase(it);
  return rc;
}

void closeall() {
  while (!pst.handles.empty()) (void)closehandle(pst.handles.begin()->first);
}

// Parses "[type] name ... type (name name) ..." into vars (types defaulting
// to deftype). 0 or a printed code.
int parsevars(const std::string& text, int deftype, std::vector<PostVar>& vars) {
  std::vector<std::string> words;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == ' ' || c == '\t') {
      ++i;
    } else if (c == '(' || c == ')') {
      words.emplace_back(1, c);
      ++i;
    } else {
      size_t j = i;
      while (j < text.size() && !std::strchr(" \t()", text[j])) ++j;
      words.push_back(text.substr(i, j - i));
      i = j;
    }
  }
  auto addname = [&](const std::string& w, int type) -> int {
    if (w == "_all") return notalow("_all");
    if (w == "(" || w == ")") return errmsgf(RC_SYNTAX, "%s invalid\n", w.c_str());
    if (int rc = chkname(w.c_str())) return rc;
    for (const PostVar& v : vars)
      if (v.name == w) return errmsgf(RC_DEFINED, "postfile: variable %s already exists\n", w.c_str());
    PostVar v;
    v.name = w;
    v.type = type;
    vars.push_back(v);
    return 0;
  };
  for (size_t i = 0; i < words.size(); ++i) {
    int type = typecode(words[i].c_str());
    if (!type) {
      if (int rc = addname(words[i], deftype)) return rc;
      continue;
    }
    if (++i >= words.size()) return errmsgf(RC_SYNTAX, "nothing found where name expected\n");
    if (words[i] != "(") {
      if (int rc = addname(words[i], type)) return rc;
      continue;
    }
    size_t first = vars.size();
    for (++i; i < words.size() && words[i] != ")"; ++i)
      if (int rc = addname(words[i], type)) return rc;
    if (i >= words.size()) return errmsgf(RC_SYNTAX, "unmatched open parenthesis\n");
    if (vars.size() == first) return errmsgf(RC_SYNTAX, "nothing found where name expected\n");
  }
  return 0;
}

// postfile handle varlist using filename [, replace double every(#)]
int cmd_postfile(int) {
  ParseResult pr;
  std::string line = wheretok(), before, after;
  bool hascomma;
  fa_splitcomma(line, before, after, &hascomma);
  if (int rc = fa_readopts(pr, after)) return rc;
  const bool replace = findopt(pr, "replace", 7, 0) == 1;
  const bool dbl = findopt(pr, "double", 1, 0) == 1;
  const long every = findopta(pr, "every", 5, LONG_MIN);
  if (int rc = chkopt(pr)) return rc;
  if (every != LONG_MIN && every <= 0)
    return errmsgf(RC_SYNTAX, "every(%ld) invalid; must be greater than 0\n", every);
  size_t at = 0;
  if (!fa_hasusing(before, &at)) return required("using");
  std::string head = before.substr(0, at);
  size_t b = head.find_first_not_of(" \t");
  if (b == std::string::npos) return errmsgf(RC_SYNTAX, "nothing found where name expected\n");
  size_t e = head.find_first_of(" \t(", b);
  std::string name = head.substr(b, e == std::string::npos ? std::string::npos : e - b);
  if (int rc = chkname(name.c_str())) return rc;
  if (pst.handles.count(name)) return errmsgf(RC_DEFINED, "postfile %s already exists\n", name.c_str());
  PostHandle h;
  h.name = name;
  if (int rc = parsevars(e == std::string::npos ? "" : head.substr(e), dbl ? ST_DOUBLE : ST_FLOAT, h.vars))
    return rc;
  if (h.vars.empty()) return errmsgf(RC_SYNTAX, "varlist required\n");
  if (static_cast<int>(h.vars.size()) >= ds.maxvar) return error(RC_TOOMANYVARS);
  long width = 0;
  for (PostVar& v : h.vars) {
    v.off = static_cast<int>(std::min<long>(width, INT_MAX));
    width += typewidth(v.type);
  }
  if (width >= POST_MAXWIDTH) return errmsgf(RC_NOROOMWIDTH, "postfile %s too wide\n", name.c_str());
  h.width = static_cast<int>(width);
  if (every != LONG_MIN) {
    h.capacity = std::clamp<long>(std::min(every, POST_MAXBUF / width), 1, every);
  } else {
    h.capacity = std::clamp<long>(16L * ds.maxvar / width, 1, 32000);
  }
  if (int rc = fa_filename(before.substr(at + 5), h.fn, ".dta")) return rc;
  struct stat st;
  if (!replace && ::stat(h.fn.c_str(), &st) == 0) return fierr(RC_FILEEXISTS, h.fn.c_str());
  h.buf.assign(static_cast<size_t>(h.capacity) * static_cast<size_t>(h.width), 0);
  if (int rc = af_open(h.af, h.fn)) return af_openerr(h.af, rc);
  std::vector<unsigned char> hdr = postheader(h);
  if (af_write(h.af, hdr.data(), hdr.size())) return writefailed(h);
  pst.handles.emplace(name, std::move(h));
  if (!pst.atexitset) {
    pst.atexitset = true;
    std::atexit(closeall);
  }
  return 0;
}

// Splits the text after the handle into expression texts: "(exp) (exp) ...",
// or blank-separated words under version control below 7. A missing
// parenthesis yields 198 (printed); *more is set when there are more than
// `want` expressions (reading stops there).
int splitexps(const char* p, size_t want, std::vector<std::string>& exps, bool* more) {
  *more = false;
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) return 0;
    if (exps.size() == want) {
      *more = true;
      return 0;
    }
    if (*p != '(') {
      if (interp.version >= 700)
        return errmsgf(RC_SYNTAX, "post command requires expressions be bound in parenthesis\n");
      const char* s = p;
      while (*p && *p != ' ' && *p != '\t') ++p;
      exps.emplace_back(s, static_cast<size_t>(p - s));
      continue;
    }
    int depth = 0;
    const char* s = ++p;
    for (;; ++p) {
      if (!*p) return errmsgf(RC_SYNTAX, "post command requires expressions be bound in parenthesis\n");
      if (*p == '"') {  // a quoted string, possibly compound
        const char* q = std::strchr(p + 1, '"');
        if (!q) return unmatchedquote();
        p = q;
        continue;
      }
      if (*p == '`' && p[1] == '"') {
        const char* q = std::strstr(p + 2, "\"'");
        if (!q) return unmatchedquote();
        p = q + 1;
        continue;
      }
      if (*p == '(') ++depth;
      if (*p == ')' && depth-- == 0) break;
    }
    exps.emplace_back(s, static_cast<size_t>(p - s));
    ++p;
  }
}

// The value of an expression that is a plain literal, without compiling it:
// a number (or missing code) for a numeric variable, a double-quoted text
// without quotes inside for a string one. Simulation loops post expanded
// macros, mostly such literals, a million times. False when the text needs
// the compiler.
bool literal(const std::string& e, bool isstr, double* x, const char** s, size_t* n) {
  if (!isstr) return tl_number(e.data(), e.size(), x);
  size_t b = e.find_first_not_of(' '), l = e.find_last_not_of(' ');
  if (b == std::string::npos || l == b || e[b] != '"' || e[l] != '"') return false;
  if (e.find('"', b + 1) != l || (b > 0 && e[b - 1] == '`')) return false;
  *s = e.data() + b + 1;
  *n = l - b - 1;
  return *n <= EXPR_STRMAX;
}

// The failing post's end: the buffer written, the handle forgotten, rc kept.
int postfail(const std::string& name, int rc) {
  (void)closehandle(name);
  return rc;
}

// post handle (exp) (exp) ...
int cmd_post(int) {
  if (cmd_bylevel) return error(RC_NOBY);
  std::string name = gettok(prsestd);
  if (name.empty()) return errmsgf(RC_SYNTAX, "nothing found where name expected\n");
  auto it = pst.handles.find(name);
  if (it == pst.handles.end()) return errmsgf(RC_NOTFOUND, "post %s not found\n", name.c_str());
  PostHandle& h = it->second;
  const size_t k = h.vars.size();
  if (h.nbuf == h.capacity)
    if (int rc = flushbuf(h)) {
      pst.handles.erase(it);
      return rc;
    }
  std::vector<std::string> exps;
  bool more = false;
  if (int rc = splitexps(wheretok(), k, exps, &more)) return postfail(name, rc);
  const char* noun = k == 1 ? "expression" : "expressions";
  if (more)
    return postfail(name, errmsgf(RC_SYNTAX, "post:  %zu %s expected and more than %zu found\n", k, noun, k));
  if (exps.size() < k)
    return postfail(name, errmsgf(RC_SYNTAX, "post:  %zu %s expected and only %zu found\n", k, noun, exps.size()));
  const long n1 = ds.nobs1, n2 = ds.nobs2;
  ds.nobs1 = 1;
  ds.nobs2 = ds.nobs;
  unsigned char* rec = h.buf.data() + static_cast<size_t>(h.nbuf) * static_cast<size_t>(h.width);
  char sbuf[EXPR_STRMAX + 1];
  int rc = 0;
  for (size_t j = 0; j < k && !rc; ++j) {
    const PostVar& v = h.vars[j];
    const bool isstr = isstrtype(v.type);
    unsigned char* p = rec + v.off;
    double x;
    const char* lit;
    size_t litn;
    if (literal(exps[j], isstr, &x, &lit, &litn)) {
      if (isstr) {
        size_t m = std::min(litn, static_cast<size_t>(v.type));
        std::memcpy(p, lit, m);
        std::memset(p + m, 0, static_cast<size_t>(v.type) - m);
      } else {
        postnum(v.type, x, p);
      }
      continue;
    }
    ExprProg prog;
    rc = compexp_u(exps[j].c_str(), prog, isstr ? EXP_STR : EXP_NUM);
    if (rc) {
      (void)errmsgf(rc, "post:  above message corresponds to expression %zu, variable %s\n", j + 1,
                    v.name.c_str());
      break;
    }
    if (isstr) {
      int len = evalstr_n(prog, 1, sbuf);
      size_t m = std::min(static_cast<size_t>(len), static_cast<size_t>(v.type));
      std::memcpy(p, sbuf, m);
      std::memset(p + m, 0, static_cast<size_t>(v.type) - m);
    } else {
      postnum(v.type, evalnum(prog, 1), p);
    }
  }
  ds.nobs1 = n1;
  ds.nobs2 = n2;
  if (rc) return postfail(name, rc);
  ++h.nbuf;
  return 0;
}

// The handle named by the rest of the line; nullptr with the message printed.
int gethandle(const char* cmd, std::string& name) {
  name = gettok(prsestd);
  if (name.empty()) return errmsgf(RC_SYNTAX, "nothing found where name expected\n");
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "%s invalid\n", gettok(prsestd));
  if (!pst.handles.count(name)) return errmsgf(RC_NOTFOUND, "%s %s not found\n", cmd, name.c_str());
  return 0;
}

// postclose handle
int cmd_postclose(int) {
  std::string name;
  if (int rc = gethandle("postfile", name)) return rc;
  return closehandle(name);
}

// postutil dir | clear | describe handle
int cmd_postutil(int) {
  std::string w = gettok(prsestd);
  if (w.empty()) return errmsgf(RC_SYNTAX, "postutil: subcommand required\n");
  if (cmdcmp(w.c_str(), "describe", 1)) {
    std::string name;
    if (int rc = gethandle("postfile", name)) return rc;
    const PostHandle& h = pst.handles[name];
    spout21f("%s:\n    %s\n    %zu variable%s\n    blocking_factor = %ld  width=%d  buffer=%ld\n",
             name.c_str(), h.fn.c_str(), h.vars.size(), h.vars.size() == 1 ? "" : "s", h.capacity, h.width,
             h.capacity * h.width);
    return 0;
  }
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "%s invalid\n", gettok(prsestd));
  if (w == "dir") {
    for (const auto& kv : pst.handles) spout21f("%s\n", kv.first.c_str());
    return 0;
  }
  if (w == "clear") {
    int rc = 0;
    while (!pst.handles.empty()) {
      int r = closehandle(pst.handles.begin()->first);
      if (!rc) rc = r;
    }
    return rc;
  }
  return errmsgf(RC_SYNTAX, "postutil: %s invalid subcommand\n", w.c_str());
}

}  // namespace

void post_reset() { closeall(); }

int post_close(const std::string& name, bool keep) {
  auto it = pst.handles.find(name);
  if (it == pst.handles.end()) return 0;
  if (!keep) {
    af_abort(it->second.af);
    pst.handles.erase(it);
    return 0;
  }
  return closehandle(name);
}

void files_bindpost() {
  cmdbind("postfile", cmd_postfile);
  cmdbind("post", cmd_post);
  cmdbind("postclose", cmd_postclose);
  cmdbind("postutil", cmd_postutil);
}
