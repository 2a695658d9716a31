// Fixed chunks of observations shared by this thread and one helper: see
// chunks.h. The split is by whole chunks, so what each chunk computes is the
// same whichever thread computes it.
#include "stats/chunks.h"

#include <algorithm>
#include <system_error>
#include <thread>

StChunkState stchunk;

long st_nchunks(long lo, long hi) { return std::max(1L, (hi - lo + ST_CHUNK) / ST_CHUNK); }

namespace {

// Runs chunks k0..k1-1 in order; the first failing code, or 0.
int runchunks(long lo, long hi, long k0, long k1, const std::function<int(long, long, long)>& fn) {
  for (long k = k0; k < k1; ++k) {
    const long c0 = lo + k * ST_CHUNK;
    if (int rc = fn(k, c0, std::min(hi, c0 + ST_CHUNK - 1))) return rc;
  }
  return 0;
}

}  // namespace

int st_chunks(long lo, long hi, bool threads, const std::function<int(long, long, long)>& fn) {
  const long nk = st_nchunks(lo, hi);
  if (!threads || nk < 2 || hi - lo + 1 < stchunk.parmin) return runchunks(lo, hi, 0, nk, fn);
  const long mid = nk / 2;
  int rc2 = 0;
  std::thread t;
  try {
    t = std::thread([&] { rc2 = runchunks(lo, hi, mid, nk, fn); });
  } catch (const std::system_error&) {
    return runchunks(lo, hi, 0, nk, fn);  // no helper to be had: this thread does all
  }
  const int rc1 = runchunks(lo, hi, 0, mid, fn);
  t.join();
  return rc1 ? rc1 : rc2;
}
