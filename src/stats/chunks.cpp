// Fixed chunks of observations shared by this thread and one helper: see
// chunks.h. The split is by whole chunks, so what each chunk computes is the
// same whichever thread computes it.
#include "stats/chunks.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <system_error>
#include <thread>

long StChunkState::stchunk_parmin() { return std::getenv("ZELTA_ONE_THREAD") ? LONG_MAX : 1L << 20; }

StChunkState stchunk;

long st_parmin(long per) { return stchunk.parmin / std::max(1L, per); }

long st_nchunks(long lo, long hi) { return std::max(1L, (hi - lo + ST_CHUNK) / ST_CHUNK); }

namespace {

// Runs parts k0..k1-1 in order (from k1-1 down when back); the first
// failing code, or 0.
int runparts(long k0, long k1, bool back, const std::function<int(long)>& part) {
  for (long i = k0; i < k1; ++i)
    if (int rc = part(back ? k0 + k1 - 1 - i : i)) return rc;
  return 0;
}

// Runs parts 0..np-1, the second half of them on a helper when `two`.
int shareparts(long np, bool two, const std::function<int(long)>& part, bool back = false) {
  if (!two || np < 2) return runparts(0, np, back, part);
  const long mid = np / 2;
  int rc2 = 0;
  std::thread t;
  try {
    t = std::thread([&] { rc2 = runparts(mid, np, back, part); });
  } catch (const std::system_error&) {
    return runparts(0, np, back, part);  // no helper to be had: this thread does all
  }
  const int rc1 = runparts(0, mid, back, part);
  t.join();
  return back ? (rc2 ? rc2 : rc1) : (rc1 ? rc1 : rc2);
}

}  // namespace

int st_chunks(long lo, long hi, long minobs, const std::function<int(long, long, long)>& fn, bool backward) {
  const long nk = st_nchunks(lo, hi);
  return shareparts(
      nk, hi - lo + 1 >= minobs,
      [&](long k) {
        const long c0 = lo + k * ST_CHUNK;
        return fn(k, c0, std::min(hi, c0 + ST_CHUNK - 1));
      },
      backward);
}

int st_nhalves(long lo, long hi) { return hi - lo + 1 >= ST_HALVES ? 2 : 1; }

int st_halves(long lo, long hi, bool threads, const std::function<int(long, long, long)>& fn) {
  const long np = st_nhalves(lo, hi);
  const long mid = lo + ((hi - lo + 1) / 2 & ~4095L);
  return shareparts(np, threads && hi - lo + 1 >= stchunk.parmin, [&](long k) {
    return np == 1 ? fn(0, lo, hi) : k == 0 ? fn(0, lo, mid - 1) : fn(1, mid, hi);
  });
}
