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

// Ranges of at least this many observations are reduced by fixed halves
// (st_halves) by the reductions whose figures per part are large (one per
// group); shorter ones in one pass.
constexpr long ST_HALVES = 1L << 20;

struct StChunkState {
  // Ranges of at least this many observations of one column use the helper
  // thread (tests lower it to compare one thread with two; the environment
  // variable ZELTA_ONE_THREAD, when set at start, keeps these reductions on
  // this thread, so that a script can be run both ways). Callers read it
  // through st_parmin and never change it.
  long parmin = stchunk_parmin();
  static long stchunk_parmin();
};
extern StChunkState stchunk;

// The number of observations from which a reduction doing `per` times the
// work of a plain pass over one column pays for the helper: stchunk.parmin
// divided by per (so 0 and the largest value keep their meaning).
long st_parmin(long per);

// The number of chunks of lo..hi (at least 1).
long st_nchunks(long lo, long hi);

// Calls fn(k, c0, c1) for every chunk k (observations c0..c1) of lo..hi,
// the first half of the chunks on this thread and, when the range has at
// least minobs observations (LONG_MAX: never), the second half on a helper.
// fn must touch only its own chunk's figures and print nothing. Returns 0 or
// the code of the earliest chunk that failed (each thread stops at its first
// failure). `backward` runs each thread's chunks from its last to its first:
// a second pass over data just read starts with what the cache still holds
// (the first failure met is then the latest chunk that failed).
[[nodiscard]] int st_chunks(long lo, long hi, long minobs, const std::function<int(long, long, long)>& fn,
                            bool backward = false);

// The parts of lo..hi for st_halves: 1 below ST_HALVES observations, else 2.
int st_nhalves(long lo, long hi);

// Calls fn(k, c0, c1) for each of the st_nhalves(lo, hi) parts of lo..hi
// (the second part starts at a multiple of 4096 observations past lo), the
// second on a helper when `threads` and the range reaches stchunk.parmin.
// The parts depend on the range alone, so figures combined in part order are
// the same with one thread or two. Returns as st_chunks.
[[nodiscard]] int st_halves(long lo, long hi, bool threads, const std::function<int(long, long, long)>& fn);
