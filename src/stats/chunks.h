// Whole-variable reductions over fixed blocks ("chunks") of observations:
// each chunk is reduced on its own and the chunks' figures are combined in
// chunk order, so results depend on the chunk size alone, never on how many
// threads did the work. Large ranges share the chunks between this thread
// and one helper.
#pragma once
#include <functional>

// Observations per chunk. Sums over ranges no longer than this are the
// plain one-pass sums; changing it changes the last digits of longer sums.
constexpr long ST_CHUNK = 1L << 18;

struct StChunkState {
  // Ranges of at least this many observations use the helper thread (tests
  // lower it to compare one thread with two).
  long parmin = 1L << 20;
};
extern StChunkState stchunk;

// The number of chunks of lo..hi (at least 1).
long st_nchunks(long lo, long hi);

// Calls fn(k, c0, c1) for every chunk k (observations c0..c1) of lo..hi,
// the first half of the chunks on this thread and, when `threads` and the
// range reaches stchunk.parmin, the second half on a helper. fn must touch
// only its own chunk's figures and print nothing. Returns 0 or the code of
// the earliest chunk that failed (each thread stops at its first failure).
[[nodiscard]] int st_chunks(long lo, long hi, bool threads, const std::function<int(long, long, long)>& fn);
