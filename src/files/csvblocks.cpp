// insheet's scan of a file without quotes in blocks (see csvcols.h). With
// no quotes every line end ends a row, so the text can be cut at line ends
// and each piece scanned on its own thread into its own columns; joining
// them in file order gives what one scan from the top would: the first bad
// field and the first overlong row are those of the earliest block that has
// one, and line numbers are counted per block and added up.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <fast_float/fast_float.h>
#include <new>
#include <system_error>
#include <thread>

#include "data/value.h"
#include "files/csvcols.h"
#include "files/textload.h"
#include "output/errors.h"
#include "platform/platform.h"

namespace {

// Texts smaller than this per thread are scanned on one.
constexpr size_t kMinBlock = size_t{4} << 20;
constexpr unsigned kMaxThreads = 8;
// Rows between looks at the Break flag.
constexpr long kPollRows = 4096;

struct Block {
  size_t from = 0, to = 0;    // the bytes: whole lines
  std::vector<CsvCol> cols;   // findings of this block
  // Each column's numbers by row (left uninitialised: every row of a
  // numeric column is written), room for cap rows.
  std::vector<BigMem> vals;
  size_t cap = 0;
  long rows = 0;
  long lines = 0;             // line ends inside the block
  long errline = -1;          // first row (line within the block) with too many fields
  size_t errfields = 0;       // its field count
  bool nomem = false;         // memory ran out
};

inline bool blank(char c, char d) { return c == ' ' || c == '\r' || (c == '\t' && d != '\t'); }

// One field's text at row `line` (within the block) into column c, by the
// rules of the one-at-a-time scan.
inline void takefield(CsvCol& c, double* vals, const char* p, size_t n, long line, const MissTokens& mt,
                      bool numtokens, long r) {
  // A missing-value token is looked for first only when some token reads as
  // a number; otherwise only a field that is not a number can be one.
  double x = misval;
  bool token = false, isnum = false;
  if (n) {
    if (numtokens && mt.has(p, n)) {
      token = true;
    } else {
      isnum = tl_number(p, n, &x);
      if (!isnum) token = mt.has(p, n);
    }
  }
  if (n > c.maxlen && !token) c.maxlen = n;
  if (c.text) {
    if (!c.numbers && isnum) c.numbers = !ismissing(x);
    return;
  }
  if (n && !token && !isnum) {
    c.text = true;
    c.bad.assign(p, n);
    c.badline = line;
    return;
  }
  if (token) x = misval;
  if (!ismissing(x)) c.take(x);
  vals[r] = x;
}

// The number that a field starting at b[s] plainly is: digits with an
// optional minus sign in front, read whole by the fast parser to a normal
// number and followed only by blanks up to the delimiter or the line end.
// Such a field reads the same in takefield, which then has nothing else to
// decide; anything else (zero, tokens, words, exponents out of range) is
// left to it. *end gets the field's end (blanks dropped), *stop that of
// the blanks after it.
inline bool plainnumber(const char* b, size_t s, size_t to, char d, double* x, size_t* end, size_t* stop) {
  const char* p = b + s;
  const char* e = b + to;
  const char* q = p < e && *p == '-' ? p + 1 : p;
  if (q >= e || static_cast<unsigned>(*q - '0') > 9) return false;
  auto r = fast_float::from_chars(p, e, *x);
  if (r.ec != std::errc() || !std::isnormal(*x) || *x >= misval) return false;
  const char* t = r.ptr;
  while (t < e && blank(*t, d)) ++t;
  if (t < e && *t != d && *t != '\n') return false;
  *end = static_cast<size_t>(r.ptr - b);
  *stop = static_cast<size_t>(t - b);
  return true;
}

// Makes room for at least `need` rows in every column of the block.
void grow(Block& blk, size_t need) {
  const size_t cap = std::max(need, blk.cap + blk.cap / 2 + 16);
  for (BigMem& v : blk.vals) v.reserve(cap * sizeof(double));
  blk.cap = cap;
}

// Scans one block. The thread that runs the command (main) polls the Break
// flag and raises stop, at which every block ends early.
void scanblock(const char* b, Block& blk, char d, size_t ncols, const MissTokens& mt, bool numtokens, bool main,
               std::atomic<bool>& stop) {
  blk.cols.assign(ncols, CsvCol{});
  // Plain numbers skip takefield unless a missing-value token might be one.
  const bool fast = !numtokens;
  const size_t to = blk.to;
  size_t pos = blk.from;
  long line = 0;
  {  // room for about as many rows as the block holds of its first one's size
    const char* nl = static_cast<const char*>(std::memchr(b + pos, '\n', to - pos));
    const size_t first = nl ? static_cast<size_t>(nl - (b + pos)) + 1 : to - pos;
    const size_t est = (to - pos) / std::max<size_t>(first, 1) + (to - pos) / std::max<size_t>(first, 1) / 8 + 16;
    blk.vals.resize(ncols);
    grow(blk, est);
  }
  while (true) {
    // lines of blanks are skipped
    size_t i = pos;
    while (i < to && blank(b[i], d)) ++i;
    if (i == to) break;
    if (b[i] == '\n') {
      pos = i + 1;
      ++line;
      continue;
    }
    if (static_cast<size_t>(blk.rows) == blk.cap) grow(blk, blk.cap + 1);
    if (blk.rows % kPollRows == 0) {
      if (main && ds_pollbreak()) stop = true;
      if (stop) return;
    }
    const long r = blk.rows++;
    size_t k = 0;
    while (true) {
      size_t s = pos;
      while (s < to && b[s] != d && (b[s] == ' ' || (b[s] == '\t' && d != '\t'))) ++s;
      double x;
      size_t e, j;
      if (fast && k < ncols && plainnumber(b, s, to, d, &x, &e, &j)) {
        CsvCol& c = blk.cols[k];
        if (e - s > c.maxlen) c.maxlen = e - s;
        if (c.text) {
          c.numbers = true;
        } else {
          c.take(x);
          reinterpret_cast<double*>(blk.vals[k].data())[r] = x;
        }
      } else {
        j = s;
        while (j < to && b[j] != d && b[j] != '\n') ++j;
        e = j;
        while (e > s && blank(b[e - 1], d)) --e;
        if (k < ncols) {
          takefield(blk.cols[k], reinterpret_cast<double*>(blk.vals[k].data()), b + s, e - s, line, mt, numtokens,
                    r);
        } else if (e > s && blk.errline < 0) {
          blk.errline = line;
          blk.errfields = 0;  // counted below
        }
      }
      ++k;
      if (j < to && b[j] == d) {
        pos = j + 1;
        continue;
      }
      pos = j < to ? j + 1 : to;
      break;
    }
    if (blk.errline == line && blk.errfields == 0) blk.errfields = k;
    for (; k < ncols; ++k)
      takefield(blk.cols[k], reinterpret_cast<double*>(blk.vals[k].data()), nullptr, 0, line, mt, numtokens, r);
    if (blk.errline >= 0) break;  // the scan stops at the first overlong row
    if (b[pos - 1] == '\n') ++line;  // the row's line end
  }
  blk.lines = line;
}

}  // namespace

int csv_scanblocks(const char* buf, size_t from, size_t len, char delim, long firstline, const MissTokens& mt,
                   const std::string& fn, std::vector<CsvCol>& cols, long* nrows) {
  bool numtokens = false;
  for (const std::string& w : mt.words) {
    double x;
    numtokens = numtokens || tl_number(w.data(), w.size(), &x);
  }
  unsigned nt = std::max(1u, std::min(kMaxThreads, std::thread::hardware_concurrency()));
  nt = static_cast<unsigned>(std::min<size_t>(nt, std::max<size_t>(1, (len - from) / kMinBlock)));
  std::vector<Block> blocks(nt);
  size_t at = from;
  for (unsigned t = 0; t < nt; ++t) {
    blocks[t].from = at;
    size_t cut = t + 1 == nt ? len : from + (len - from) / nt * (t + 1);
    if (cut < at) cut = at;
    if (cut < len) {
      const char* nl = static_cast<const char*>(std::memchr(buf + cut, '\n', len - cut));
      cut = nl ? static_cast<size_t>(nl - buf) + 1 : len;
    }
    blocks[t].to = cut;
    at = cut;
  }
  // Memory running out inside a block is noted there and reported here,
  // once every thread has stopped.
  std::atomic<bool> stop{false};
  auto run = [&](Block& blk, bool main) {
    try {
      scanblock(buf, blk, delim, cols.size(), mt, numtokens, main, stop);
    } catch (const std::bad_alloc&) {
      blk.nomem = true;
    }
  };
  std::vector<std::thread> threads;
  size_t started = 1;
  try {
    if (!plat_onethread())
      for (; started < nt; ++started) threads.emplace_back([&run, &blk = blocks[started]] { run(blk, false); });
  } catch (const std::system_error&) {  // fewer threads: the rest are scanned here
  }
  run(blocks[0], true);
  for (size_t t = started; t < nt; ++t) run(blocks[t], true);
  for (std::thread& th : threads) th.join();
  if (stop) return 1;
  for (const Block& blk : blocks)
    if (blk.nomem) throw std::bad_alloc();

  // Joined in file order; the scan ends at the first overlong row.
  long line = firstline, rows = 0;
  for (Block& blk : blocks) {
    if (blk.errline >= 0)
      return errmsgf(RC_SYNTAX, "file %s: line %ld has %zu fields, more than the %zu of its first line\n",
                     fn.c_str(), line + blk.errline, blk.errfields, cols.size());
    for (size_t k = 0; k < cols.size(); ++k) {
      CsvCol& c = cols[k];
      CsvCol& p = blk.cols[k];
      c.maxlen = std::max(c.maxlen, p.maxlen);
      c.numbers = c.numbers || p.numbers;
      if (c.text) continue;
      if (p.text) {
        c.text = true;
        c.bad = p.bad;
        c.badline = line + p.badline;
        c.parts.clear();
        continue;
      }
      if (p.any) {
        c.lo = c.any ? std::min(c.lo, p.lo) : p.lo;
        c.hi = c.any ? std::max(c.hi, p.hi) : p.hi;
        c.any = true;
      }
      c.allint = c.allint && p.allint;
      c.floatok = c.floatok && p.floatok;
      c.parts.push_back(CsvPart{std::make_shared<BigMem>(std::move(blk.vals[k])), static_cast<size_t>(blk.rows)});
    }
    line += blk.lines;
    rows += blk.rows;
  }
  *nrows = rows;
  return 0;
}
