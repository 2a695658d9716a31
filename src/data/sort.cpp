// `sort`: orders observations by one or more variables. Data already in
// order do not move, data in descending order are reversed, anything else is
// shuffled by the sort-seed generator and then quicksorted with the last
// element of each part as its pivot, so ties come out in an order fixed by
// the seed (or kept, with `stable`). The keys of the range are extracted once
// into contiguous items (order-preserving 64-bit words and the observation
// number), the algorithm runs on those, and the resulting order is applied
// to the columns at the end. When no two keys tie (or with `stable`) every
// algorithm gives the same order, and a radix sort of the items, on two
// threads for large ranges, finds it. Keys with many ties whose values
// differ only within 32 bits go through the seeded algorithm as single
// words; its partitions are shared by two threads on large ranges.
#include "data/sort.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <new>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "data/permute.h"
#include "data/store.h"
#include "data/varlist.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

SortState srt;

namespace {

// True when a Break asks the sort to stop (polled every 1024 steps; the test
// hook stops after a fixed number of polls).
inline bool brk() {
  if ((++srt.polls & 0x3ff) != 0) return false;
  if (srt.breakat && srt.polls >= srt.breakat) return true;
  return stopflag != 0;
}

// Break polls of the helper thread: it reads the flag itself, every 1024th
// poll, and never the test hook (whose count belongs to the main thread).
thread_local bool helper = false;
thread_local long helperpolls = 0;
inline bool poll() {
  if (helper) return (++helperpolls & 0x3ff) == 0 && stopflag != 0;
  return brk();
}

// Runs work() on this thread and on a helper at once (on this one alone when
// the system refuses a thread or ZELTA_ONE_THREAD is set).
template <class F>
void bothrun(F& work) {
  std::thread t;
  try {
    if (!plat_onethread())
      t = std::thread([&] {
        helper = true;
        work();
      });
  } catch (const std::system_error&) {
  }
  work();
  if (t.joinable()) t.join();
}

// One step of the sort-seed generator: rseed = rseed x 68969 mod 2^31.
long nextseed() {
  const long m = 0x7fffffffL;
  ds.rseed = (((3433L * ds.rseed) & m) + ((ds.rseed << 16) & m)) & m;
  return ds.rseed;
}

// Advances the generator by k steps at once (68969^k mod 2^31).
void skipseed(uint64_t k) {
  const uint64_t mask = 0x7fffffffULL;
  uint64_t mul = 68969, r = static_cast<uint64_t>(ds.rseed);
  while (k) {
    if (k & 1) r = (r * mul) & mask;
    mul = (mul * mul) & mask;
    k >>= 1;
  }
  ds.rseed = static_cast<long>(r);
}

// The drawn position of the shuffle over a range of the given spread.
inline long draw(double spread) {
  return static_cast<long>(static_cast<double>(nextseed()) / 2147483646.0 * spread + 0.5);
}

// A numeric value as a word whose unsigned order is the order of doubles
// (-0 and +0 equal; missing values above every number, `.` < `.a` < ...).
inline uint64_t numword(double d) {
  if (d == 0) d = 0;
  uint64_t b;
  std::memcpy(&b, &d, 8);
  return (b >> 63) ? ~b : (b | 0x8000000000000000ULL);
}

// The double of a word made by numword (zero comes back as +0).
inline double wordnum(uint64_t w) {
  const uint64_t b = (w >> 63) ? w & ~0x8000000000000000ULL : ~w;
  double d;
  std::memcpy(&d, &b, 8);
  return d;
}

// A key variable: its number and the words it takes in an item.
struct KeyVar {
  int var;
  int strw;   // width of a string key, 0 for numbers
  int words;  // 64-bit words in the item
};

std::vector<KeyVar> keyvars(const std::vector<int>& vars) {
  std::vector<KeyVar> ks;
  for (int v : vars) {
    int t = vartype(v);
    int w = isstrtype(t) ? t : 0;
    ks.push_back({v, w, w ? (w + 7) / 8 : 1});
  }
  return ks;
}

// Compares observations i and j on the keys: -1, 0 or 1. Strings compare
// byte-wise up to their first NUL, numbers as doubles.
int cmpobs(const std::vector<KeyVar>& ks, long i, long j) {
  for (const KeyVar& k : ks) {
    if (k.strw) {
      int c = std::strncmp(reinterpret_cast<const char*>(dtaptr(k.var, i)),
                           reinterpret_cast<const char*>(dtaptr(k.var, j)), static_cast<size_t>(k.strw));
      if (c) return c < 0 ? -1 : 1;
    } else {
      double a = zelta_data(k.var, i), b = zelta_data(k.var, j);
      if (a < b) return -1;
      if (a > b) return 1;
    }
  }
  return 0;
}

// The words of one string cell: its bytes up to the first NUL, zero-padded,
// packed most significant first.
inline void strwords(const unsigned char* p, int width, int words, uint64_t* out, size_t step) {
  unsigned char buf[248] = {0};
  for (int b = 0; b < width && p[b]; ++b) buf[b] = p[b];
  for (int w = 0; w < words; ++w) {
    uint64_t x = 0;
    for (int b = 0; b < 8; ++b) x = (x << 8) | buf[w * 8 + b];
    out[static_cast<size_t>(w) * step] = x;
  }
}

// Fills the key words of observations lo..lo+n-1, one column at a time:
// word w of item i goes to the 8 bytes at base + i * stride + 8 * w (stride
// in bytes; items need not be 8-aligned). False on a Break.
bool extract(const std::vector<KeyVar>& ks, long lo, long n, unsigned char* base, size_t stride) {
  size_t off = 0;
  std::vector<double> buf(static_cast<size_t>(std::clamp(n, 1L, 4096L)));
  uint64_t words[31];
  for (const KeyVar& k : ks) {
    ColView c = colview(k.var);
    for (long i0 = 0; i0 < n; i0 += 4096) {
      long m = std::min(4096L, n - i0);
      unsigned char* dst = base + static_cast<size_t>(i0) * stride + off;
      if (!k.strw) {
        col_decode(c, lo + i0, m, buf.data());
        for (long i = 0; i < m; ++i) {
          const uint64_t w = numword(buf[static_cast<size_t>(i)]);
          std::memcpy(dst + static_cast<size_t>(i) * stride, &w, 8);
        }
      } else {
        for (long i = 0; i < m; ++i) {
          strwords(c.at(lo + i0 + i), k.strw, k.words, words, 1);
          std::memcpy(dst + static_cast<size_t>(i) * stride, words, static_cast<size_t>(k.words) * 8);
        }
      }
      if (stopflag) return false;
    }
    off += static_cast<size_t>(k.words) * 8;
  }
  return true;
}

// The mapping of the last large scratch array, kept for the next sort: the
// system zeroes every page the first time it is written, which costs a sort
// of ten million items more than dealing them. Its pages are marked free, so
// the system takes them back when it runs short of memory (a later sort then
// gets fresh zeroed pages) and otherwise leaves them where they are.
struct KeptMap {
  void* p = nullptr;
  size_t bytes = 0;
};
KeptMap kept;

// A large scratch array, on huge pages where the system offers them:
// sorting ten million items otherwise spends much of its time faulting in
// small pages. `p` is null when the memory could not be had.
template <class T>
struct BigBuf {
  T* p = nullptr;
  size_t n = 0, bytes = 0;
  explicit BigBuf(size_t count) : n(count) {
    const size_t huge = size_t{2} << 20;
    if (count * sizeof(T) < srt.hugemin) {  // small: the ordinary heap is cheaper
      p = static_cast<T*>(std::malloc(std::max<size_t>(1, count) * sizeof(T)));
      return;
    }
    bytes = (count * sizeof(T) + huge - 1) / huge * huge;
    if (kept.p && kept.bytes >= bytes) {
      p = static_cast<T*>(kept.p);
      bytes = kept.bytes;
      kept = {};
      return;
    }
    void* m = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return;
    (void)::madvise(m, bytes, MADV_HUGEPAGE);
    p = static_cast<T*>(m);
  }
  // A mapping up to a quarter of the machine's memory is kept (the larger
  // of it and the one kept before).
  ~BigBuf() {
    if (!p || !bytes) {
      std::free(p);
      return;
    }
    static const size_t most = static_cast<size_t>(::sysconf(_SC_PHYS_PAGES)) / 4 * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    if (bytes > most || bytes <= kept.bytes || ::madvise(p, bytes, MADV_FREE) != 0) {
      ::munmap(p, bytes);
      return;
    }
    if (kept.p) ::munmap(kept.p, kept.bytes);
    kept = {p, bytes};
  }
  BigBuf(const BigBuf&) = delete;
  BigBuf& operator=(const BigBuf&) = delete;
  T& operator[](size_t i) { return p[i]; }
  size_t size() const { return n; }
};

// Items of W key words and the observation they came from, packed: for one
// key an item is 12 bytes, the key column and the permutation and no more.
#pragma pack(push, 4)
template <int W>
struct Item {
  uint64_t k[W];
  uint32_t id;
};
#pragma pack(pop)
static_assert(sizeof(Item<1>) == 12, "items are packed");

template <int W>
inline bool less(const Item<W>& a, const Item<W>& b) {
  for (int w = 0; w < W; ++w)
    if (a.k[w] != b.k[w]) return a.k[w] < b.k[w];
  return false;
}
template <int W>
inline bool samekey(const Item<W>& a, const Item<W>& b) {
  for (int w = 0; w < W; ++w)
    if (a.k[w] != b.k[w]) return false;
  return true;
}

// quick -> partition around a[hi]; sort the smaller part, loop on the larger.
// 0, or 1 on a Break (a is then still a permutation).
//
// With `prune` the items whose key ties with another item's carry the top
// bit of their observation number, and nf counts them in a[lo..hi]. A part
// without such items has distinct keys, whose order every sort agrees on, so
// `done` sorts it at once instead of partitioning further: the order of the
// ties, the only thing the seed decides, is that of the full algorithm.
// Uniform draws of 32 bits tie a few thousand times in ten million, and most
// of the partitioning then goes.
// partition -> the pivot a[hi] put in its place: a scan from the left stops
// at each item not below it, a scan from the right (from hi - 1, and at lo at
// the latest) at each item not above it, the two are swapped until the
// scans cross, and the pivot is swapped with the left scan's last stop.
// Returns where the pivot went, or -1 on a Break (a is then a permutation).
//
// Both scans only read, so the stops of each can be found ahead, a block of
// BS items at a time without branches, and paired in order: while the two
// blocks lie apart every pair is one the item-by-item scans would swap, in
// the same order. Where fewer than two blocks are left the scans go on item
// by item, first through the stops already found. The result is that of the
// plain scans, swap for swap (tests/unit/data_sort_test.cpp holds the plain
// form as its reference).
template <class T, class L>
long partition(T* a, long lo, long hi, L lt) {
  constexpr long BS = 128;
  const T pv = a[hi];
  uint16_t offl[BS], offr[BS];
  long l = lo, r = hi - 1;          // next items the blocks have not read
  long lbase = 0, rbase = 0;        // where the current blocks start
  long nl = 0, nr = 0, sl = 0, sr = 0;  // stops found and not used, the first of them
  while (r - l + 1 >= 2 * BS) {
    if (nl == 0) {
      sl = 0, lbase = l;
      for (long t = 0; t < BS; ++t) {
        offl[nl] = static_cast<uint16_t>(t);
        nl += !lt(a[l + t], pv);
      }
      l += BS;
    }
    if (nr == 0) {
      sr = 0, rbase = r;
      for (long t = 0; t < BS; ++t) {
        offr[nr] = static_cast<uint16_t>(t);
        nr += !lt(pv, a[r - t]);
      }
      r -= BS;
    }
    const long m = std::min(nl, nr);
    for (long k = 0; k < m; ++k) std::swap(a[lbase + offl[sl + k]], a[rbase - offr[sr + k]]);
    nl -= m, nr -= m, sl += m, sr += m;
    if (poll()) return -1;
  }
  // Item by item, a stop found ahead holds unless the other scan has since
  // swapped into a place before it: the last pair swapped (pi, pj) now
  // holds an item not above the pivot at pi and one not below it at pj.
  long i, j, pi = lo - 1, pj = hi;
  for (;;) {
    if (nl) {
      i = std::min(lbase + offl[sl++], pj), --nl;
    } else if (pj < l) {
      i = pj;
    } else {
      while (lt(a[l], pv)) ++l;
      i = l++;
    }
    if (nr) {
      j = std::max(rbase - offr[sr++], pi), --nr;
    } else if (pi > r) {
      j = pi;
    } else {
      while (lt(pv, a[r]) && r != lo) --r;
      j = r--;
    }
    if (poll()) return -1;
    if (i >= j) break;
    std::swap(a[i], a[j]);
    pi = i, pj = j;
  }
  std::swap(a[i], a[hi]);
  return i;
}

// 1 when an item carries the tie flag (observation numbers alone never do).
template <class T>
inline long flagof(const T& x) {
  if constexpr (requires { x.id; })
    return static_cast<long>(x.id >> 31);
  else
    return 0;
}

// The order the quicksort leaves among m items with one key. Each partition
// stops both scans at every item: it reverses the items before the pivot
// and swaps the pivot with the middle one, then does the same to both
// halves. Item t of the part before that step is written as A(t) = off +
// sgn x t for the first m - 1 items and L for the last (the pivot), and so
// is each half after it: the step puts L at the middle q, the left half is
// A(c - 1 - t) whole, the right one A(c - 2 - q - u) and lastly A(c - 1 - q)
// (c = m - 1), which the swap put at the end. So the order is written out
// one item a call, without comparisons or swaps.
template <class T>
void equalorder(T* out, const T* src, long m, long off, long sgn, long last) {
  while (m > 1) {
    const long c = m - 1, q = c / 2;
    out[q] = src[last];
    const long loff = off + sgn * (c - 1), roff = off + sgn * (c - 2 - q), rlast = off + sgn * (c - 1 - q);
    if (q > 0) equalorder(out, src, q, loff, -sgn, loff - sgn * (q - 1));
    out += q + 1, m = c - q, off = roff, sgn = -sgn, last = rlast;
  }
  if (m == 1) out[0] = src[last];
}

// A part between two pivots of the same key holds only that key: its order
// is equalorder's, found without partitioning it.
template <class T>
void equalpart(T* a, long m) {
  std::vector<T> src(a, a + m);
  equalorder(a, src.data(), m, 0, 1, m - 1);
}

// a[lo..hi] lies between pivots (a[lo - 1] not above any of it, a[hi + 1]
// not below) unless it touches an end of a[0..end].
template <class T, class L, class D>
int quick(T* a, long lo, long hi, L lt, bool prune, long nf, D done, long end) {
  while (hi > lo) {
    if (prune && nf == 0) return done(a + lo, static_cast<size_t>(hi - lo + 1));
    if (lo > 0 && hi < end && !lt(a[lo - 1], a[hi + 1])) {
      equalpart(a + lo, hi - lo + 1);
      return poll() ? 1 : 0;
    }
    const long i = partition(a, lo, hi, lt);
    if (i < 0) return 1;
    const bool leftsmall = i - lo < hi - i;
    long nsmall = 0, nlarge = 0;
    if (prune) {
      // Counting the flags of the smaller part gives those of the larger.
      const long s0 = leftsmall ? lo : i + 1, s1 = leftsmall ? i - 1 : hi;
      for (long k = s0; k <= s1; ++k) nsmall += flagof(a[k]);
      nlarge = nf - nsmall - flagof(a[i]);
    }
    if (leftsmall) {
      if (quick(a, lo, i - 1, lt, prune, nsmall, done, end)) return 1;
      lo = i + 1;
    } else {
      if (quick(a, i + 1, hi, lt, prune, nsmall, done, end)) return 1;
      hi = i - 1;
    }
    nf = nlarge;
  }
  return 0;
}

// Once its pivot is placed a part is sorted without reading or writing
// anything outside it but the pivots on either side, which never move
// again: large ranges are sorted by two threads taking parts from a shared
// list, the largest first. A part above `cut` items is partitioned once and
// its two sides listed; a smaller one is sorted whole. Every part goes
// through the same steps as in quick, so the order is the same.
template <class T, class L, class D>
int quickpool(T* a, long n, L lt, D done) {
  const long end = n - 1, cut = std::max(n / 64, 256L);
  std::vector<std::pair<long, long>> todo{{0, end}};
  std::mutex mu;
  std::condition_variable cv;
  int busy = 0;
  bool stop = false;
  auto work = [&] {
    std::unique_lock lk(mu);
    for (;;) {
      cv.wait(lk, [&] { return stop || !todo.empty() || busy == 0; });
      if (stop || todo.empty()) return;
      auto big = std::max_element(todo.begin(), todo.end(), [](const auto& x, const auto& y) {
        return x.second - x.first < y.second - y.first;
      });
      const auto [lo, hi] = *big;
      *big = todo.back();
      todo.pop_back();
      ++busy;
      lk.unlock();
      int rc = 0;
      long i = -1;
      if (hi - lo < cut) {
        rc = quick(a, lo, hi, lt, false, 0, done, end);
      } else if (lo > 0 && hi < end && !lt(a[lo - 1], a[hi + 1])) {
        equalpart(a + lo, hi - lo + 1);
        rc = poll() ? 1 : 0;
      } else {
        i = partition(a, lo, hi, lt);
        rc = i < 0 ? 1 : 0;
      }
      lk.lock();
      --busy;
      if (rc) stop = true;
      if (!rc && i >= 0) {
        if (i - 1 > lo) todo.emplace_back(lo, i - 1);
        if (hi > i + 1) todo.emplace_back(i + 1, hi);
      }
      cv.notify_all();
    }
  };
  bothrun(work);
  return stop ? 1 : 0;
}

// The seeded shuffle of n items followed by the quicksort (pruned as quick
// says when `prune`, with nf flagged items; by quickpool on large ranges
// otherwise).
// The draws are made PF swaps ahead of the swaps that use them, so that the
// items of later swaps are fetched from memory while earlier ones are done:
// on a large range every swap touches two random places.
template <class T, class L, class D>
int shufflesort(T* a, long n, L lt, bool prune, long nf, D done) {
  constexpr long PF = 64;  // a power of two
  const double spread = static_cast<double>(n - 1);
  long xs[PF], ys[PF];
  const long ahead = std::min(PF, n);
  for (long m = 0; m < ahead; ++m) {
    xs[m] = std::min(draw(spread), n - 1);
    ys[m] = std::min(draw(spread), n - 1);
    __builtin_prefetch(&a[xs[m]], 1);
    __builtin_prefetch(&a[ys[m]], 1);
  }
  for (long m = 0; m < n; ++m) {
    const long k = m & (PF - 1);
    std::swap(a[xs[k]], a[ys[k]]);
    if (m + PF < n) {
      xs[k] = std::min(draw(spread), n - 1);
      ys[k] = std::min(draw(spread), n - 1);
      __builtin_prefetch(&a[xs[k]], 1);
      __builtin_prefetch(&a[ys[k]], 1);
    }
    if (poll()) return 1;
  }
  if (!prune && static_cast<unsigned long>(n) >= srt.parmin) return quickpool(a, n, lt, done);
  return quick(a, 0, n - 1, lt, prune, nf, done, n - 1);
  return quick(a, 0, n - 1, lt, prune, nf, done, n - 1);
}

// Items ordered by key, then by observation: the order of a stable sort.
template <int W>
inline bool keyidless(const Item<W>& a, const Item<W>& b) {
  for (int w = 0; w < W; ++w)
    if (a.k[w] != b.k[w]) return a.k[w] < b.k[w];
  return a.id < b.id;
}

// The DB bits of the key words starting at bit s (0 = the top bit of word
// 0); bits past the last word read as 0.
template <int W, int DB>
inline unsigned digit(const Item<W>& a, int s) {
  const int w = s >> 6, o = s & 63;
  uint64_t x = a.k[w] << o;
  if (o > 64 - DB && w + 1 < W) x |= a.k[w + 1] >> (64 - o);
  return static_cast<unsigned>(x >> (64 - DB));
}

// Insertion sort by key and observation, for the small parts.
template <int W>
void smallsort(Item<W>* a, size_t n) {
  for (size_t i = 1; i < n; ++i) {
    const Item<W> v = a[i];
    size_t j = i;
    for (; j > 0 && keyidless(v, a[j - 1]); --j) a[j] = a[j - 1];
    a[j] = v;
  }
}

// Counts of the DB-bit digit at bit s of a[0..n-1] into cnt (added to it).
template <int W, int DB>
void countdigits(const Item<W>* a, size_t n, int s, size_t* cnt) {
  for (size_t i = 0; i < n; ++i) ++cnt[digit<W, DB>(a[i], s)];
}

// Moves the items into the parts of their digit, in place (each item goes
// straight to the next free slot of its part); cnt holds the part sizes,
// start receives where each part begins.
template <int W, int DB>
void distribute(Item<W>* a, int s, const size_t* cnt, size_t* start) {
  constexpr size_t NB = size_t{1} << DB;
  size_t head[NB], end[NB];
  size_t sum = 0;
  for (size_t b = 0; b < NB; ++b) {
    start[b] = head[b] = sum;
    sum += cnt[b];
    end[b] = sum;
  }
  for (size_t b = 0; b < NB; ++b) {
    while (head[b] < end[b]) {
      Item<W> v = a[head[b]];
      unsigned d = digit<W, DB>(v, s);
      while (d != b) {
        std::swap(v, a[head[d]++]);
        d = digit<W, DB>(v, s);
      }
      a[head[b]++] = v;
    }
  }
}

// The b bits (b <= 32) of the key words starting at bit s (s < 64 x W);
// bits past the last word read as 0.
template <int W>
inline unsigned keybits(const Item<W>& a, int s, int b) {
  const int w = s >> 6, o = s & 63;
  uint64_t x = a.k[w] << o;
  if (o > 64 - b && w + 1 < W) x |= a.k[w + 1] >> (64 - o);
  return static_cast<unsigned>(x >> (64 - b));
}

template <int W>
int firstdiff(const Item<W>* a, size_t n);
template <int W>
int msd(Item<W>* a, size_t n, int s);

// The largest part dealt by spread: its items and counts stay in the
// processor's cache, or nearly (the parts of the first split hold up to
// n / 1024 items: about 98,000 at a hundred million).
constexpr size_t SPREADMAX = size_t{1} << 18;

// Sorts a part of at most SPREADMAX items (n > 48, keys equal before bit
// s) by dealing them out of place by as many bits, from their first
// difference, as leave two to four items a digit on average; the few
// items of each digit are then put in order by insertion, crowded digits
// by msd. An in-place deal by 8 bits would leave dozens of items a digit
// for the insertion sort, which then costs the most.
template <int W>
int spread(Item<W>* a, size_t n, int s) {
  s = std::max(s, firstdiff(a, n));
  if (s >= 64 * W) return msd(a, n, s);
  // (the items pass through tmp before any part is sorted further, so the
  // calls below may use it again)
  thread_local std::vector<Item<W>> tmp;
  if (tmp.size() < n) tmp.resize(SPREADMAX);
  const int b = std::clamp(static_cast<int>(std::bit_width(n)) - 2, 1, 16);
  const size_t nb = size_t{1} << b;
  std::vector<uint32_t> cnt(nb + 1, 0);
  for (size_t i = 0; i < n; ++i) ++cnt[keybits(a[i], s, b) + 1];
  for (size_t d = 1; d <= nb; ++d) cnt[d] += cnt[d - 1];  // cnt[d]: where digit d begins
  std::vector<uint32_t> next(cnt.begin(), cnt.end() - 1);
  for (size_t i = 0; i < n; ++i) tmp[next[keybits(a[i], s, b)]++] = a[i];
  std::memcpy(static_cast<void*>(a), tmp.data(), n * sizeof(Item<W>));
  for (size_t d = 0; d < nb; ++d) {
    const size_t m = cnt[d + 1] - cnt[d];
    if (m < 2) continue;
    if (m <= 32) smallsort(a + cnt[d], m);
    else if (msd(a + cnt[d], m, s + b)) return 1;
  }
  return poll() ? 1 : 0;
}

// msd -> parts by the 8 bits at bit s, then each part by the next 8 bits,
// parts that fit the cache by spread; equal keys end ordered by
// observation. The result is the stable order. 0, or 1 on a Break (a is
// then still a permutation).
template <int W>
int msd(Item<W>* a, size_t n, int s) {
  constexpr int DB = 8;
  constexpr size_t NB = size_t{1} << DB;
  while (true) {
    if (n <= 48) {
      smallsort(a, n);
      return 0;
    }
    if (s >= 64 * W) {  // every key the same: by observation
      std::sort(a, a + n, [](const Item<W>& x, const Item<W>& y) { return x.id < y.id; });
      return 0;
    }
    if (n <= SPREADMAX) return spread(a, n, s);
    size_t cnt[NB] = {0}, start[NB];
    countdigits<W, DB>(a, n, s, cnt);
    if (poll()) return 1;
    if (std::find(cnt, cnt + NB, n) != cnt + NB) {  // one part: the next bits
      s += DB;
      continue;
    }
    distribute<W, DB>(a, s, cnt, start);
    if (poll()) return 1;
    for (size_t b = 0; b < NB; ++b)
      if (cnt[b] > 1)
        if (msd(a + start[b], cnt[b], s + DB)) return 1;
    return 0;
  }
}

// The first bit at which the keys of a[0..n-1] differ (64 x W when none do).
template <int W>
int firstdiff(const Item<W>* a, size_t n) {
  for (int w = 0; w < W; ++w) {
    uint64_t dif = 0;
    const uint64_t k0 = a[0].k[w];
    for (size_t i = 1; i < n; ++i) dif |= a[i].k[w] ^ k0;
    if (dif) return 64 * w + __builtin_clzll(dif);
  }
  return 64 * W;
}

// Runs f(t, b, e) for the halves t = 0, 1 of [0, n), the second on a helper
// thread when n is large (this thread does both when the system refuses one).
template <class F>
void onhalves(size_t n, F f) {
  const size_t half = n / 2;
  if (n < srt.parmin || plat_onethread()) {
    f(0, 0, half);
    f(1, half, n);
    return;
  }
  try {
    std::thread t([&] {
      helper = true;
      f(1, half, n);
    });
    f(0, 0, half);
    t.join();
  } catch (const std::system_error&) {
    f(0, 0, half);
    f(1, half, n);
  }
}

// Calls each(items, i0, m) on the keys of observations lo + b .. lo + e - 1
// extracted 4096 at a time (item j of the block is observation lo + i0 + j).
// False on a Break.
template <int W, class F>
bool keyblocks(const std::vector<KeyVar>& ks, long lo, size_t b, size_t e, F each) {
  constexpr size_t B = 4096;
  std::unique_ptr<Item<W>[]> blk(new (std::nothrow) Item<W>[B]);
  if (!blk) return false;
  for (size_t i0 = b; i0 < e; i0 += B) {
    const size_t m = std::min(B, e - i0);
    if (!extract(ks, lo + static_cast<long>(i0), static_cast<long>(m), reinterpret_cast<unsigned char*>(blk.get()),
                 sizeof(Item<W>)))
      return false;
    each(blk.get(), i0, m);
  }
  return true;
}

// A part of the items left to sort: n items from start, whose keys agree
// before bit s.
struct Part {
  size_t start, n;
  int s;
};

// Sorts the parts of a by msd, largest first, each taken by whichever of two
// threads is free.
template <int W>
int sortparts(Item<W>* a, std::vector<Part>& parts) {
  std::erase_if(parts, [](const Part& p) { return p.n < 2; });
  std::sort(parts.begin(), parts.end(), [](const Part& x, const Part& y) { return x.n > y.n; });
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  auto work = [&] {
    for (size_t k; !stop.load(std::memory_order_relaxed) && (k = next.fetch_add(1)) < parts.size();)
      if (msd(a + parts[k].start, parts[k].n, parts[k].s)) stop = true;
  };
  bothrun(work);
  return stop ? 1 : 0;
}

// The bits in which the keys of observations lo.. (n of them, read on two
// threads when many) differ from those of the first, which goes in first:
// dif[w] for word w. False on a Break.
template <int W>
bool keydiff(const std::vector<KeyVar>& ks, long lo, size_t n, Item<W>& first, uint64_t* dif) {
  if (!extract(ks, lo, 1, reinterpret_cast<unsigned char*>(&first), sizeof(Item<W>))) return false;
  uint64_t d2[2][W] = {};
  std::atomic<bool> broke{false};
  onhalves(n, [&](size_t t, size_t b, size_t e) {
    uint64_t* d = d2[t];
    if (!keyblocks<W>(ks, lo, b, e, [&](const Item<W>* p, size_t, size_t m) {
          for (size_t j = 0; j < m; ++j)
            for (int w = 0; w < W; ++w) d[w] |= p[j].k[w] ^ first.k[w];
        }))
      broke = true;
  });
  for (int w = 0; w < W; ++w) dif[w] = d2[0][w] | d2[1][w];
  return !broke;
}

// Fills a[0..n-1] with the items of observations lo.. in the stable order of
// their keys, as msd gives it. Large ranges are read from the store three
// times on two threads: for the first bit at which the keys differ, for the
// counts of the 16 bits from there, and to write each item straight into
// its part, streams that need no more memory than the items; the parts are
// then shared by the two threads. 0; 1 on a Break with a holding a
// permutation of the items; 2 on a Break before it does.
//
// `zero` tells whether a key may be zero, whose sign the items do not keep
// (it is set unless the third pass saw none).
template <int W>
int radixfill(const std::vector<KeyVar>& ks, long lo, size_t n, Item<W>* a, bool& zero) {
  zero = true;
  if (n < srt.parmin) {
    if (!extract(ks, lo, static_cast<long>(n), reinterpret_cast<unsigned char*>(a), sizeof(Item<W>))) return 2;
    for (size_t i = 0; i < n; ++i) a[i].id = static_cast<uint32_t>(lo + static_cast<long>(i));
    return msd(a, n, firstdiff(a, n));
  }
  std::atomic<bool> broke{false};
  Item<W> first;
  uint64_t dif[W];
  if (!keydiff<W>(ks, lo, n, first, dif)) return 2;
  int s = 64 * W;
  for (int w = W - 1; w >= 0; --w)
    if (dif[w]) s = 64 * w + __builtin_clzll(dif[w]);
  if (s == 64 * W) {  // one key throughout: the observations' order
    for (size_t i = 0; i < n; ++i) a[i] = first, a[i].id = static_cast<uint32_t>(lo + static_cast<long>(i));
    return 0;
  }
  // The counts of the 16 bits from s are cut into parts of about n / 1024
  // items, each a run of neighbouring digits: keys spread unevenly over the
  // digits (the exponent of doubles sits in the first bits) still give parts
  // of about equal size, small enough to be sorted in the processor's cache,
  // and few enough for the placement's streams.
  constexpr int DB = 16;
  constexpr size_t ND = size_t{1} << DB;
  std::vector<uint32_t> cnt[2] = {std::vector<uint32_t>(ND), std::vector<uint32_t>(ND)};
  onhalves(n, [&](size_t t, size_t b, size_t e) {
    uint32_t* c = cnt[t].data();
    if (!keyblocks<W>(ks, lo, b, e, [&](const Item<W>* p, size_t, size_t m) {
          for (size_t j = 0; j < m; ++j) ++c[digit<W, DB>(p[j], s)];
        }))
      broke = true;
  });
  if (broke) return 2;
  // Part k takes digits first[k].. ; every part but the last holds more than
  // the target with the next digit added, so there are at most 2n/target + 1.
  const size_t target = std::max<size_t>(n / 1024, 1);
  std::vector<uint16_t> pmap(ND);
  std::vector<Part> parts;
  std::vector<size_t> pos[2];
  size_t sum = 0;
  unsigned dlo = 0, dhi = 0;
  auto close = [&] {
    Part& p = parts.back();
    p.n = sum - p.start;
    p.s = dlo == dhi ? s + DB : s + __builtin_clz(dlo ^ dhi) - (32 - DB);
  };
  for (unsigned d = 0; d < ND; ++d) {
    const size_t c = size_t{cnt[0][d]} + cnt[1][d];
    if (!c) continue;
    if (parts.empty() || sum - parts.back().start + c > target) {
      if (!parts.empty()) close();
      parts.push_back({sum, 0, 0});
      pos[0].push_back(sum), pos[1].push_back(sum);
      dlo = d;
    }
    dhi = d;
    pmap[d] = static_cast<uint16_t>(parts.size() - 1);
    pos[1].back() += cnt[0][d];  // each part holds the first half's items, then the second's
    sum += c;
  }
  close();
  bool zeros[2] = {false, false};
  onhalves(n, [&](size_t t, size_t b, size_t e) {
    size_t* q = pos[t].data();
    bool z = false;
    if (!keyblocks<W>(ks, lo, b, e, [&](Item<W>* p, size_t i0, size_t m) {
          for (size_t j = 0; j < m; ++j) {
            p[j].id = static_cast<uint32_t>(lo + static_cast<long>(i0 + j));
            z |= p[j].k[0] == numword(0);
            a[q[pmap[digit<W, DB>(p[j], s)]]++] = p[j];
          }
        }))
      broke = true;
    zeros[t] = z;
  });
  if (broke) return 2;
  zero = zeros[0] || zeros[1];
  if (poll()) return 1;
  int r_= sortparts(a, parts); return r_;
}

// True when two neighbouring items of a[0..n-1] have the same key (read on
// two threads).
template <int W>
bool anyties(const Item<W>* a, size_t n) {
  std::atomic<bool> found{false};
  onhalves(n, [&](size_t, size_t b, size_t e) {
    bool f = false;
    for (size_t i = std::max<size_t>(b, 1); i < e; ++i) f |= samekey(a[i - 1], a[i]);
    if (f) found = true;
  });
  return found;
}

// The number of neighbouring pairs with the same key among (up to) 4096
// observations spread over the n from lo, once sorted.
template <int W>
long sampleties(const std::vector<KeyVar>& ks, long lo, long n) {
  const long m = std::min(n, 4096L);
  std::vector<Item<W>> s(static_cast<size_t>(m));
  for (long i = 0; i < m; ++i)
    if (!extract(ks, lo + i * n / m, 1, reinterpret_cast<unsigned char*>(&s[static_cast<size_t>(i)]), sizeof(Item<W>)))
      return 0;
  std::sort(s.begin(), s.end(), less<W>);
  long t = 0;
  for (size_t i = 1; i < s.size(); ++i) t += samekey(s[i - 1], s[i]);
  return t;
}

// Puts the observations of lo.. into the order of the items, even after a
// Break (the items are then still a permutation). The observation numbers
// are packed to the front of the items' own memory (each lands at or before
// the item it is read from), and that memory is lent to the store as the
// scratch of its moves, so the sort needs no more.
//
// With `keyback`, the items being in order and their key a double column
// without zeros, the key's column is written from the items' own words
// (their order is the new one) instead of being moved with the others.
template <int W>
void applyitems(const std::vector<KeyVar>& ks, long lo, BigBuf<Item<W>>& a, bool keyback) {
  const size_t n = a.size();
  int done = 0;
  if (keyback && W == 1 && ks.size() == 1 && vartype(ks[0].var) == ST_DOUBLE && n >= srt.parmin) {
    done = ks[0].var;
    unsigned char* col = colbase(done) + static_cast<size_t>(lo - 1) * 8;
    onhalves(n, [&](size_t, size_t b, size_t e) {
      for (size_t i = b; i < e; ++i) {
        const double d = wordnum(a[i].k[0]);
        std::memcpy(col + i * 8, &d, 8);
      }
    });
  }
  uint32_t* from = reinterpret_cast<uint32_t*>(a.p);
  for (size_t i = 0; i < n; ++i) {
    const uint32_t id = a[i].id & 0x7fffffffu;  // without the tie flag
    std::memcpy(from + i, &id, 4);
  }
  ds_permute_lent(lo, from, static_cast<long>(n), reinterpret_cast<unsigned char*>(a.p), n * sizeof(Item<W>), done);
}

// The seeded algorithm on keys that differ only within 32 neighbouring bits
// (a key of a thousand integers, a few short codes): each item is one word,
// those bits above the observation number, which the shuffle's random
// swaps and the partitions move in two thirds of the time of a full item.
// The memory is that of the full items, lent to the moves of the columns.
// -1 when the keys do not fit, else as sortitems.
template <int W>
int sortpacked(const std::vector<KeyVar>& ks, long lo, long hi) {
  const long n = hi - lo + 1;
  if (hi > 0xffffffffL) return -1;
  Item<W> first;
  uint64_t dif[W];
  if (!keydiff<W>(ks, lo, static_cast<size_t>(n), first, dif)) return 1;
  std::atomic<bool> broke{false};
  int s = -1, last = -1;  // the first and the last bit that differ
  for (int w = 0; w < W; ++w)
    if (const uint64_t x = dif[w]) {
      if (s < 0) s = 64 * w + __builtin_clzll(x);
      last = 64 * w + 63 - __builtin_ctzll(x);
    }
  if (s < 0 || last - s >= 32) return -1;
  BigBuf<Item<W>> buf(static_cast<size_t>(n));
  if (!buf.p) return error(RC_NOMEM);
  uint64_t* const a = reinterpret_cast<uint64_t*>(buf.p);
  onhalves(static_cast<size_t>(n), [&](size_t, size_t b, size_t e) {
    if (!keyblocks<W>(ks, lo, b, e, [&](const Item<W>* p, size_t i0, size_t m) {
          for (size_t j = 0; j < m; ++j)
            a[i0 + j] = uint64_t{keybits(p[j], s, 32)} << 32 | static_cast<uint64_t>(lo + static_cast<long>(i0 + j));
        }))
      broke = true;
  });
  if (broke) return 1;  // the data stay as they are
  ++srt.packed;
  auto lt = [](uint64_t x, uint64_t y) { return x >> 32 < y >> 32; };
  const int rc = shufflesort(a, n, lt, false, 0, [](uint64_t*, size_t) { return 0; });
  // Even after a Break the words hold a permutation. Each observation
  // number lands at or before the word it is read from.
  uint32_t* from = reinterpret_cast<uint32_t*>(a);
  for (long i = 0; i < n; ++i) from[i] = static_cast<uint32_t>(a[i]);
  ds_permute_lent(lo, from, n, reinterpret_cast<unsigned char*>(buf.p), static_cast<size_t>(n) * sizeof(Item<W>));
  return rc;
}

// Sorts the observations of lo..hi by the keys. With `stable` ties keep
// their order; otherwise the seeded algorithm decides, unless every key is
// distinct, when any sort gives its result (the seed still advances as the
// shuffle would). Memory: one item (the key words and the observation
// number) per observation, and a bit per observation marking the ties.
template <int W>
int sortitems(const std::vector<KeyVar>& ks, long lo, long hi, bool stable) {
  const long n = hi - lo + 1;
  // Ties among a sample of the items in more than a few places mean ties
  // nearly everywhere: the seeded algorithm then runs at once on all items,
  // packed into words when their keys allow. Otherwise the radix sort runs
  // first; if it finds ties, the items that tie are flagged (where
  // observation numbers leave the top bit free) and the seeded algorithm
  // runs pruned to them.
  bool ties = !stable && sampleties<W>(ks, lo, n) > 16;
  if (ties)
    if (const int r = sortpacked<W>(ks, lo, hi); r >= 0) return r;
  BigBuf<Item<W>> a(static_cast<size_t>(n));
  if (!a.p) return error(RC_NOMEM);
  unsigned char* const base = reinterpret_cast<unsigned char*>(a.p);
  int rc = 0;
  bool prune = false, zero = true;
  long nf = 0;
  if (ties) {
    if (!extract(ks, lo, n, base, sizeof(Item<W>))) return 1;
    for (long i = 0; i < n; ++i) a[static_cast<size_t>(i)].id = static_cast<uint32_t>(lo + i);
  } else {
    rc = radixfill(ks, lo, a.size(), a.p, zero);
    if (rc == 2) return 1;  // the items are incomplete: the data stay as they are
    std::vector<uint64_t> tied;
    const bool scan = !stable && !rc && anyties(a.p, a.size());
    for (size_t i = 1; scan && i < a.size(); ++i) {
      if (!samekey(a[i - 1], a[i])) continue;
      if (!ties) tied.assign((static_cast<size_t>(n) + 63) / 64, 0), ties = true;
      for (size_t k : {i - 1, i}) {
        const size_t o = a[k].id - static_cast<size_t>(lo);
        nf += static_cast<long>(~tied[o / 64] >> (o % 64) & 1);
        tied[o / 64] |= uint64_t{1} << (o % 64);
      }
    }
    if (!rc && !ties) skipseed(2 * static_cast<uint64_t>(n));
    if (!rc && ties) {
      // Their order is the seeded algorithm's, run on the items in their
      // original order.
      prune = hi < 0x80000000L;
      for (long i = 0; i < n; ++i) {
        const size_t o = static_cast<size_t>(i);
        const uint32_t flag = prune && (tied[o / 64] >> (o % 64) & 1) ? 0x80000000u : 0;
        a[o].id = static_cast<uint32_t>(lo + i) | flag;
      }
      if (!extract(ks, lo, n, base, sizeof(Item<W>))) rc = 1;
    }
  }
  if (!rc && ties) {
    auto lt = [](const Item<W>& x, const Item<W>& y) { return less<W>(x, y); };
    auto done = [](Item<W>* p, size_t m) { return msd(p, m, firstdiff(p, m)); };
    rc = shufflesort(a.p, n, lt, prune, nf, done);
  }
  applyitems(ks, lo, a, !rc && !ties && !zero);
  return rc;
}

// Keys wider than the item templates: observation numbers sorted through a
// table of key words.
int sortwide(const std::vector<KeyVar>& ks, long lo, long hi, bool stable, std::vector<uint32_t>& from) {
  const long n = hi - lo + 1;
  size_t W = 0;
  for (const KeyVar& k : ks) W += static_cast<size_t>(k.words);
  std::vector<uint64_t> tab(static_cast<size_t>(n) * W);
  if (!extract(ks, lo, n, reinterpret_cast<unsigned char*>(tab.data()), W * 8)) return 1;
  from.resize(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i) from[static_cast<size_t>(i)] = static_cast<uint32_t>(i);
  auto lt = [&](uint32_t x, uint32_t y) {
    const uint64_t* p = &tab[x * W];
    const uint64_t* q = &tab[y * W];
    for (size_t w = 0; w < W; ++w)
      if (p[w] != q[w]) return p[w] < q[w];
    return false;
  };
  int rc = 0;
  if (stable) {
    skipseed(2 * static_cast<uint64_t>(n));
    std::stable_sort(from.begin(), from.end(), lt);
  } else {
    rc = shufflesort(from.data(), n, lt, false, 0, [](uint32_t*, size_t) { return 0; });
  }
  for (auto& f : from) f += static_cast<uint32_t>(lo);
  return rc;
}

// Moves the observations of lo.. into the order `from` (observation
// numbers): one gather per column.
void applyorder(long lo, const std::vector<uint32_t>& from) {
  ds_permute(lo, from.data(), static_cast<long>(from.size()));
}

// The order of items p and q (W words each): -1, 0 or 1.
inline int cmpwords(const uint64_t* p, const uint64_t* q, size_t W) {
  for (size_t w = 0; w < W; ++w)
    if (p[w] != q[w]) return p[w] < q[w] ? -1 : 1;
  return 0;
}

// syssort_u -> sorts lo..hi by the keys: in order, reversed, or the full sort.
int syssort_u(const std::vector<KeyVar>& ks, long lo, long hi, bool stable) {
  if (hi <= lo) return 0;
  size_t W = 0;
  for (const KeyVar& k : ks) W += static_cast<size_t>(k.words);
  // One pass over the keys, a block at a time, decides between in order,
  // reversed and the full sort.
  bool ascending = true, descending = true;
  constexpr long B = 4096;
  std::vector<uint64_t> blk(static_cast<size_t>(B + 1) * W);
  for (long i0 = lo; i0 <= hi && (ascending || descending); i0 += B) {
    long m = std::min(B, hi - i0 + 1);
    if (!extract(ks, i0, m, reinterpret_cast<unsigned char*>(blk.data() + W), W * 8)) return 1;
    // Slot 0 holds the last item of the previous block, slots 1..m this one.
    for (long k = i0 == lo ? 1 : 0; k < m && (ascending || descending); ++k) {
      const uint64_t* p = blk.data() + static_cast<size_t>(k) * W;
      int c = cmpwords(p, p + W, W);
      // With `stable` ties are ordered by observation number: ascending.
      if (c == 0 && stable) c = -1;
      if (c > 0) ascending = false;
      if (c < 0) descending = false;
    }
    std::memcpy(blk.data(), blk.data() + static_cast<size_t>(m) * W, W * sizeof(uint64_t));
    if (brk()) return 1;
  }
  if (ascending) return 0;
  std::vector<uint32_t> from;
  if (descending) {
    for (long k = hi; k >= lo; --k) from.push_back(static_cast<uint32_t>(k));
    applyorder(lo, from);
    return 0;
  }
  switch (W) {
    case 1: return sortitems<1>(ks, lo, hi, stable);
    case 2: return sortitems<2>(ks, lo, hi, stable);
    case 3: return sortitems<3>(ks, lo, hi, stable);
    case 4: return sortitems<4>(ks, lo, hi, stable);
    default: break;
  }
  int rc = sortwide(ks, lo, hi, stable, from);
  // Even after a Break the items hold a permutation: the data follow it.
  if (from.size() == static_cast<size_t>(hi - lo + 1)) applyorder(lo, from);
  return rc;
}

}  // namespace

// Sorts the whole dataset by the values of an index variable (ties in their
// present order); the sort list becomes vars when the data are then in
// their order, else it stays empty.
int sysidxsort(int idx, const std::vector<int>& vars) {
  if (isstrtype(vartype(idx))) return error(RC_TYPEMISMATCH);
  ds.srtlist.clear();
  std::vector<uint32_t> from(static_cast<size_t>(ds.nobs));
  std::vector<double> key(static_cast<size_t>(ds.nobs) + 1);
  for (long i = 1; i <= ds.nobs; ++i) {
    from[static_cast<size_t>(i - 1)] = static_cast<uint32_t>(i);
    key[static_cast<size_t>(i)] = zelta_data(idx, i);
  }
  std::stable_sort(from.begin(), from.end(), [&](uint32_t a, uint32_t b) { return key[a] < key[b]; });
  if (stopflag) return 1;
  if (ds.nobs) applyorder(1, from);
  ds.updata = true;
  // The sort list names vars only when the new order really follows them.
  std::vector<KeyVar> ks = keyvars(vars);
  for (long i = 1; i < ds.nobs; ++i)
    if (cmpobs(ks, i, i + 1) > 0) return 0;
  ds.srtlist = vars;
  return 0;
}

void exch(long i, long j) { ds_swapobs(i, j); }

void setsortseed(long seed) { ds.rseed = seed & 0x7fffffffL; }

int sortcmpr(long i, long j) { return cmpobs(keyvars(vl.varlist_vr), i, j); }

int syssort(long lo, long hi, bool stable) {
  std::vector<int> vars(vl.varlist_vr);
  ds.srtlist.clear();
  int rc;
  try {
    rc = syssort_u(keyvars(vars), lo, hi, stable);
  } catch (const std::bad_alloc&) {
    rc = error(RC_NOMEM);  // the data are still a permutation of themselves
  }
  if (rc) return rc;
  if (lo <= 1 && hi >= ds.nobs) ds.srtlist = vars;
  ds.updata = true;
  return 0;
}
