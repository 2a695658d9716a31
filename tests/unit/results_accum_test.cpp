// matrix accum sums each chunk of observations apart and, without if or
// weights, shares the chunks with a helper thread: the matrix must be the
// same doubles on one thread or two, over sizes around the chunk boundaries,
// with blocks read in place, blocks with missing values decoded, storage
// types mixed, deviations and a range; and the exact elements must be the
// products of the used rows.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "interp/interp.h"
#include "results/results.h"
#include "stats/chunks.h"
#include "session_testutil.h"

namespace {

struct AccumThreads : CommandSession {
  void TearDown() override {
    stchunk = StChunkState{};
    CommandSession::TearDown();
  }
  // y: long fractions around 1000; x: the same with every 97th missing;
  // w: 1..5; l (long): -20..20; b (byte): 0..3.
  void load(long n) {
    for (const char* v : {"y", "x", "w"}) ASSERT_EQ(addvar(v, ST_DOUBLE), 0);
    ASSERT_EQ(addvar("l", ST_LONG), 0);
    ASSERT_EQ(addvar("b", ST_BYTE), 0);
    ASSERT_EQ(setobs_quiet(n), 0);
    TestDraws draws;
    for (long i = 1; i <= n; ++i) {
      const double u = draws.next();
      store(1, i, 1e3 + u / 7);
      store(2, i, i % 97 == 0 ? misval : 1e3 - u / 3);
      store(3, i, static_cast<double>(1 + i % 5));
      store(4, i, static_cast<double>(i % 41) - 20);
      store(5, i, static_cast<double>(draws.state >> 62));
    }
  }
};

TEST_F(AccumThreads, SameOnOneThreadAndTwo) {
  const long C = ST_CHUNK;
  for (long n : {C - 1, C + 1, 3 * C + 8195}) {
    ds_reset();
    load(n);
    for (const char* line : {"matrix accum A = y w", "matrix accum A = x y, noconstant",
                             "matrix accum A = y l b", "matrix accum A = y w x, deviations",
                             "matrix accum A = y w in 9/-5"}) {
      SCOPED_TRACE(std::string(line) + " n=" + std::to_string(n));
      std::vector<double> one, two;
      for (long parmin : {LONG_MAX, 0L}) {
        stchunk.parmin = parmin;
        ASSERT_EQ(execline(line), 0);
        const Matrix* A = mat_find("A");
        ASSERT_NE(A, nullptr);
        (parmin ? one : two) = A->v;
      }
      ASSERT_EQ(one.size(), two.size());
      for (size_t k = 0; k < one.size(); ++k)
        EXPECT_EQ(std::memcmp(&one[k], &two[k], sizeof(double)), 0) << k << ": " << one[k] << " " << two[k];
    }
    // The constant's corner is the count of used rows; l'w, a sum of small
    // whole numbers, is exact in any order.
    ASSERT_EQ(execline("matrix accum A = y x"), 0);
    EXPECT_EQ(mat_find("A")->at(2, 2), static_cast<double>(n - n / 97));
    ASSERT_EQ(execline("matrix accum A = l w, noconstant"), 0);
    double lw = 0;
    for (long i = 1; i <= n; ++i) lw += static_cast<double>(i % 41 - 20) * static_cast<double>(1 + i % 5);
    EXPECT_EQ(mat_find("A")->at(1, 0), lw);
  }
}

}  // namespace
