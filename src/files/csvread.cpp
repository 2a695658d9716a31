// `insheet`: a comma- or tab-separated file into the dataset. The file is
// read into memory and scanned once: the first row may give the variable
// names, each data column's numbers are kept as doubles until a field that
// is neither a number nor a missing-value token (empty, `.`, `NA`, those of
// missing()) turns the column into text, which a note reports. The columns
// then get the smallest storage type that holds every value as written (a
// decimal column is float only when float holds each value exactly) and a
// second scan fills the text columns. Nothing in memory changes until the
// whole file has been read.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "files/csv.h"
#include "files/csvcols.h"
#include "files/files.h"
#include "files/newdata.h"
#include "files/textload.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// The longest line read: room for the most variables a dataset can hold,
// each a quoted string of the longest length and its separator, with a
// wide margin. A file whose line runs on past it (a device that never ends,
// a damaged file) is refused as it is read, before it fills memory.
constexpr size_t CSV_MAXLINE = size_t{32} << 20;

// missing() text: words separated by blanks, each plain or in double quotes.
// 0, or 198 printed.
int parsetokens(const std::string& text, MissTokens& mt) {
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    std::string w;
    if (text[i] == '"') {
      size_t e = text.find('"', i + 1);
      if (e == std::string::npos) return errmsgf(RC_SYNTAX, "missing(): unmatched quote\n");
      w = text.substr(i + 1, e - i - 1);
      i = e + 1;
    } else {
      size_t e = text.find(' ', i);
      if (e == std::string::npos) e = text.size();
      w = text.substr(i, e - i);
      i = e;
    }
    if (w.empty()) return errmsgf(RC_SYNTAX, "missing(): empty token\n");
    mt.words.push_back(w);
  }
  if (mt.words.size() == 1) return errmsgf(RC_SYNTAX, "missing() needs at least one token\n");
  return 0;
}

// The bytes read per call: a few megabytes, few calls.
constexpr size_t CSV_PIECE = size_t{4} << 20;

// Reads the whole file into out (*len bytes), straight into memory from
// the system. 0, or 601 / 603 / 692 / 611 printed.
int slurp(const std::string& fn, BigMem& out, size_t* len) {
  *len = 0;
  int fd = ::open(fn.c_str(), O_RDONLY);
  if (fd < 0) return fierr(errno == ENOENT || errno == ENOTDIR ? 601 : 603, fn.c_str());
  struct stat st;
  size_t n = 0;
  size_t linestart = 0;  // where the line being read begins in out
  try {
    out.reserve(::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : CSV_PIECE);
    for (;;) {
      if (out.capacity() - n < CSV_PIECE / 4) out.reserve(out.capacity() + out.capacity() / 2 + CSV_PIECE);
      char* at = reinterpret_cast<char*>(out.data()) + n;
      ssize_t k = ::read(fd, at, std::min(CSV_PIECE, out.capacity() - n));
      if (k < 0 && errno == EINTR) continue;
      if (k < 0) {
        ::close(fd);
        return fierr(RC_READ, fn.c_str());
      }
      if (k == 0) break;
      n += static_cast<size_t>(k);
      // the line now being read began after the last line end seen
      const void* nl = memrchr(at, '\n', static_cast<size_t>(k));
      if (nl) linestart = static_cast<size_t>(static_cast<const char*>(nl) - reinterpret_cast<char*>(out.data())) + 1;
      if (n - linestart > CSV_MAXLINE) {
        ::close(fd);
        out.release();
        return error(RC_RECTOOLONG);
      }
    }
  } catch (const std::bad_alloc&) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  *len = n;
  return 0;
}

// The delimiter when none was asked for: a tab when the first line has one,
// else a comma.
char guessdelim(const char* text, size_t len, size_t from) {
  const void* nl = std::memchr(text + from, '\n', len - from);
  const size_t line = nl ? static_cast<size_t>(static_cast<const char*>(nl) - text) : len;
  return std::memchr(text + from, '\t', line - from) ? '\t' : ',';
}

// How a column of decimals is stored: float when float holds every value
// exactly, else double; or always one of them (options double, float).
enum class DecMode { Exact, Double, Float };

// The storage type of a scanned column.
int coltype(const CsvCol& c, DecMode dm) {
  if (c.text) return static_cast<int>(std::clamp<size_t>(c.maxlen, 1, TL_STRMAX));
  if (!c.any || c.allint || dm == DecMode::Exact) return tl_numtype(c.any, c.allint, c.lo, c.hi, c.floatok);
  return dm == DecMode::Double ? ST_DOUBLE : ST_FLOAT;
}

// The first scan: the header row (when there is one) and every column's
// numbers and facts. 0, 1 (Break), or 198 printed (unclosed quote, too many
// fields).
int scan(CsvScan& s, const std::string& fn, int names, const MissTokens& mt, std::vector<CsvCol>& cols,
         long* nrows, bool* hdr) {
  *nrows = 0;
  *hdr = false;
  std::vector<CsvField> row;
  bool endrow = false;
  long rowline = 0;
  size_t rowstart = 0;
  auto readrow = [&]() -> int {
    row.clear();
    rowstart = s.pos;
    rowline = s.line;
    do {
      CsvField f;
      if (csv_field(s, f, &endrow))
        return errmsgf(RC_SYNTAX, "file %s: quote opened on line %ld is not closed\n", fn.c_str(), s.line);
      row.push_back(f);
    } while (!endrow);
    return 0;
  };
  if (!csv_rowstart(s)) return 0;
  if (int rc = readrow()) return rc;
  bool header = names == 1;
  if (names < 0) {  // a first row without numbers and with some text names the columns
    bool anytext = false, anynum = false;
    double x;
    for (const CsvField& f : row) {
      if (!f.n || mt.has(f.p, f.n)) continue;
      if (tl_number(f.p, f.n, &x)) anynum = true;
      else anytext = true;
    }
    header = anytext && !anynum;
  }
  *hdr = header;
  cols.assign(row.size(), CsvCol{});
  // Without quotes every line end ends a row: the rows are scanned in
  // blocks, one per core.
  {
    const size_t from = header ? s.pos : rowstart;
    if (!std::memchr(s.buf + from, '"', s.len - from)) {
      if (header)
        for (size_t k = 0; k < row.size(); ++k) cols[k].head = csv_text(row[k]);
      return csv_scanblocks(s.buf, from, s.len, s.delim, header ? s.line : rowline, mt, fn, cols, nrows);
    }
  }
  bool first = true;
  for (;;) {
    if (!first || header) {
      if (first) {
        for (size_t k = 0; k < row.size(); ++k) cols[k].head = csv_text(row[k]);
      }
      if (!csv_rowstart(s)) return 0;
      if (int rc = readrow()) return rc;
    }
    first = false;
    if (row.size() > cols.size()) {
      for (size_t k = cols.size(); k < row.size(); ++k)
        if (row[k].n)
          return errmsgf(RC_SYNTAX, "file %s: line %ld has %zu fields, more than the %zu of its first line\n",
                         fn.c_str(), rowline, row.size(), cols.size());
    }
    const long r = (*nrows)++;
    if (r % 4096 == 0 && ds_pollbreak()) return 1;
    if (r == 0) {  // room for about as many rows as the rest of the text holds of this one's size
      size_t rowbytes = std::max<size_t>(1, s.pos - rowstart);
      size_t est = (s.len - rowstart) / rowbytes + (s.len - rowstart) / rowbytes / 8 + 16;
      for (CsvCol& c : cols) c.vals.resize(est);
    }
    for (size_t k = 0; k < cols.size(); ++k) {
      CsvCol& c = cols[k];
      const CsvField* f = k < row.size() ? &row[k] : nullptr;
      size_t n = f ? f->n : 0;
      const bool token = n && mt.has(f->p, n);
      if (f && f->escapes) n = csv_text(*f).size();
      if (n > c.maxlen && !(token && !f->quoted)) c.maxlen = n;
      double x = misval;
      if (c.text) {
        if (!c.numbers && n && !token && tl_number(f->p, f->n, &x)) c.numbers = !ismissing(x);
        continue;
      }
      if (n && !token && !tl_number(f->p, f->n, &x)) {
        c.text = true;
        c.bad = csv_text(*f);
        c.badline = rowline;
        c.vals = std::vector<double>();
        continue;
      }
      if (token) x = misval;
      if (!ismissing(x)) c.take(x);
      if (c.vals.size() <= static_cast<size_t>(r)) c.vals.resize(c.vals.size() * 2);
      c.vals[static_cast<size_t>(r)] = x;
    }
  }
}

// The second scan: the text columns' fields into their variables (an
// unquoted missing-value token becomes empty text).
void filltext(CsvScan& s, bool header, const MissTokens& mt, const std::vector<CsvCol>& cols,
              const std::vector<int>& vars) {
  std::vector<ColView> views(cols.size());
  for (size_t k = 0; k < cols.size(); ++k)
    if (cols[k].text) views[k] = colview(vars[k]);
  bool endrow = false;
  long obs = header ? 0 : 1;
  while (csv_rowstart(s)) {
    size_t k = 0;
    do {
      CsvField f;
      (void)csv_field(s, f, &endrow);  // the first scan found every quote closed
      if (obs >= 1 && k < cols.size() && cols[k].text) {
        std::string t = f.escapes ? csv_text(f) : std::string();
        const char* p = f.escapes ? t.data() : f.p;
        size_t n = std::min(f.escapes ? t.size() : f.n, static_cast<size_t>(views[k].type));
        if (!f.quoted && mt.has(f.p, f.n)) n = 0;
        unsigned char* cell = views[k].at(obs);
        std::memcpy(cell, p, n);
        std::memset(cell + n, 0, static_cast<size_t>(views[k].type) - n);
      }
      ++k;
    } while (!endrow);
    ++obs;
  }
}

int insheet(NewData& nd, const std::string& fn, const std::vector<std::string>& given, int names, DecMode dm,
            const MissTokens& mt, char delim);

// insheet [names] using filename [, clear comma tab delimiter("c") names nonames double float missing(tokens)]
int cmd_insheet(int) {
  ParseResult pr;
  std::string line = wheretok(), before, after;
  bool hascomma;
  fa_splitcomma(line, before, after, &hascomma);
  if (int rc = fa_readopts(pr, after)) return rc;
  const bool clear = findopt(pr, "clear", 5, 0) == 1;
  const bool comma = findopt(pr, "comma", 5, 0) == 1;
  const bool tab = findopt(pr, "tab", 3, 0) == 1;
  const int names = findopt(pr, "names", 5, -1);
  const bool dbl = findopt(pr, "double", 6, 0) == 1;
  const bool flt = findopt(pr, "float", 5, 0) == 1;
  std::string delim, miss;
  const bool hasdelim = findargasis(pr, "delimiter", 5, delim, 64);
  const bool hasmiss = findargasis(pr, "missing", 4, miss, 4096);
  if (int rc = chkopt(pr)) return rc;
  if (comma + tab + hasdelim > 1) return errmsgf(RC_SYNTAX, "options comma, tab and delimiter() may not be combined\n");
  if (dbl && flt) return errmsgf(RC_SYNTAX, "options double and float may not be combined\n");
  MissTokens mt;
  if (hasmiss)
    if (int rc = parsetokens(miss, mt)) return rc;
  if (hasdelim) {
    if (delim.size() >= 2 && delim.front() == '"' && delim.back() == '"') delim = delim.substr(1, delim.size() - 2);
    if (delim == "\\t") delim = "\t";
    if (delim.size() != 1 || delim[0] == '"' || delim[0] == '\n')
      return errmsgf(RC_SYNTAX, "delimiter() must be one character\n");
  }
  size_t at = 0;
  if (!fa_hasusing(before, &at)) return required("using");
  std::vector<std::string> given;
  {
    std::string w;
    for (char c : before.substr(0, at) + " ")
      if (c == ' ') {
        if (!w.empty() && chkname(w.c_str())) return RC_SYNTAX;
        if (!w.empty()) given.push_back(w);
        w.clear();
      } else {
        w.push_back(c);
      }
  }
  std::string fn;
  if (int rc = fa_filename(before.substr(at + 5), fn, ".raw")) return rc;
  if ((ds.nvar || ds.nobs) && !clear && ds.updata) return error(RC_DATALOST);

  NewData nd;
  try {
    return insheet(nd, fn, given, names, dbl ? DecMode::Double : flt ? DecMode::Float : DecMode::Exact, mt,
                   hasdelim ? delim[0] : comma ? ',' : tab ? '\t' : 0);
  } catch (const std::bad_alloc&) {  // the text or a column's numbers did not fit
    return nd_undo(nd, error(RC_NOMEM));
  }
}

// Reads file fn (delimiter 0: guessed) into the dataset, the old one set
// aside in nd until the new one is whole. 0 or a printed code.
int insheet(NewData& nd, const std::string& fn, const std::vector<std::string>& given, int names, DecMode dm,
            const MissTokens& mt, char delim) {
  BigMem mem;
  size_t len;
  if (int rc = slurp(fn, mem, &len)) return rc;
  const char* text = reinterpret_cast<const char*>(mem.data());
  size_t start = len >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;  // a UTF-8 byte-order mark
  CsvScan s;
  s.buf = text;
  s.len = len;
  s.pos = start;
  s.delim = delim ? delim : guessdelim(text, len, start);
  std::vector<CsvCol> cols;
  long nrows = 0;
  bool header = false;
  if (int rc = scan(s, fn, names, mt, cols, &nrows, &header)) return rc;
  if (nrows == 0)
    return errmsgf(RC_NOOBS, cols.empty() ? "file %s is empty\n" : "file %s has no observations after its header\n",
                   fn.c_str());
  if (given.size() > cols.size())
    return errmsgf(RC_SYNTAX, "%zu names given for %zu columns\n", given.size(), cols.size());

  if (int rc = nd_begin(nd)) return rc;
  std::vector<int> vars;
  int rc = 0;
  bool cut = false;
  for (size_t k = 0; k < cols.size() && !rc; ++k) {
    std::string name = k < given.size() ? given[k] : fa_varname(cols[k].head);
    if (name.empty() || findvarexact(name.c_str())) {
      const std::string base = std::string(1, 'v') + std::to_string(k + 1);
      name = base;
      for (int sfx = 2; findvarexact(name.c_str()); ++sfx) name = base + '_' + std::to_string(sfx);
    }
    const int type = coltype(cols[k], dm);
    rc = addvar_uninit(name.c_str(), type);
    if (rc) break;
    vars.push_back(ds.nvar);
    if (cols[k].head != name) ds.varlabels[static_cast<size_t>(ds.nvar)] = cols[k].head.substr(0, 80);
    cut = cut || (cols[k].text && cols[k].maxlen > TL_STRMAX);
  }
  // Numeric columns are written whole below; text columns only where a
  // row has the field, so they start blank.
  const bool anytext = std::any_of(cols.begin(), cols.end(), [](const CsvCol& c) { return c.text; });
  if (!rc) rc = anytext ? setobs_quiet(nrows) : setobs_uninit(nrows);
  if (rc) return nd_undo(nd, rc);
  for (size_t k = 0; k < cols.size(); ++k) {
    if (cols[k].text) continue;
    if (cols[k].parts.empty()) {
      col_encode(colview(vars[k]), 1, nrows, cols[k].vals.data());
      continue;
    }
    long obs = 1;
    for (CsvPart& part : cols[k].parts) {
      col_encode(colview(vars[k]), obs, static_cast<long>(part.n), part.vals());
      obs += static_cast<long>(part.n);
      part.mem.reset();
    }
  }
  if (anytext) {
    s.pos = start;
    s.line = 1;
    filltext(s, header, mt, cols, vars);
  }
  nd_commit(nd);
  ds.srtlist.clear();
  ds.updata = true;
  int prev = setoutlev(OUT_NOTE);
  if (cut) spout21f("(note: text over %zu characters truncated)\n", TL_STRMAX);
  std::string dbls;
  for (size_t k = 0; k < cols.size(); ++k) {
    const CsvCol& c = cols[k];
    const std::string& name = varname(vars[k]);
    if (c.text && c.numbers)
      spout21f("(note: %s stored as text: \"%s\" on line %ld is not a number)\n", name.c_str(),
               c.bad.substr(0, 40).c_str(), c.badline);
    if (dm == DecMode::Exact && !c.text && c.any && !c.allint && !c.floatok) dbls += " " + name;
  }
  if (!dbls.empty())
    spout21f("(note: stored as double, as float cannot hold every value as written:%s)\n", dbls.c_str());
  spout21f("(%zu var%s, %ld ob%s)\n", cols.size(), cols.size() == 1 ? "" : "s", nrows, nrows == 1 ? "" : "s");
  setoutlev(prev);
  return 0;
}

}  // namespace

void files_bindinsheet() { cmdbind("insheet", cmd_insheet); }
