// The .dta reader and writer below the commands: every storage type and
// missing code read back bit for bit, the type codes of release 110 and 111,
// and injected read and write failures that must leave a defined state (the
// dataset as it was after a failed use, the old file after a failed save).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "data/store.h"
#include "files/dta.h"
#include "files/files.h"
#include "files_testutil.h"
#include "interp/interp.h"
#include "platform/platform.h"

namespace {

struct DtaTest : FilesTest {
  // A dataset holding, in every numeric type, a few numbers and every
  // missing code (`.`, `.a` .. `.z`), and a string variable.
  void makedata() {
    const int types[] = {ST_BYTE, ST_INT, ST_LONG, ST_FLOAT, ST_DOUBLE};
    const char* names[] = {"b", "i", "l", "f", "d"};
    for (int k = 0; k < 5; ++k) ASSERT_EQ(addvar(names[k], types[k]), 0);
    ASSERT_EQ(addvar("s", 5), 0);
    ASSERT_EQ(setobs_quiet(30), 0);
    const double nums[3] = {-1, 0, 99};
    for (int v = 1; v <= 5; ++v)
      for (long i = 1; i <= 30; ++i) store(v, i, i <= 3 ? nums[i - 1] : misval_k(static_cast<int>(i - 4)));
    store(4, 1, 0.1);
    store(5, 1, -1e300);
    for (long i = 1; i <= 30; ++i) safe_sstore(6, i, i % 2 ? "abcde" : "x");
  }
  // `save name, replace` with a write failure injected at each of its nops
  // operations: code 699, the file still `good`, no temporary file left, the
  // data still marked changed.
  void failingsaves(const char* name, int nops, const std::string& good, long directfrom = 0) {
    const std::string fn = path(name);
    for (int at = 1; at <= nops; ++at) {
      afs = AtomicFileState{};
      afs.directfrom = directfrom;
      afs.failat = at;
      EXPECT_EQ(execline("save " + fn + ", replace"), 699) << "failure at " << at;
      EXPECT_EQ(slurp(fn + ".dta"), good) << "failure at " << at;
      EXPECT_EQ(listdir(dir).size(), 1u) << "temporary file left after failure at " << at;
      EXPECT_TRUE(ds.updata);
    }
    afs = AtomicFileState{};
  }
};

TEST_F(DtaTest, EveryTypeAndMissingCodeRoundTrips) {
  makedata();
  std::vector<double> before;
  for (int v = 1; v <= 5; ++v)
    for (long i = 1; i <= 30; ++i) before.push_back(zelta_data(v, i));
  ASSERT_EQ(execline("save " + path("a")), 0);
  ASSERT_EQ(execline("use " + path("a") + ", clear"), 0);
  ASSERT_EQ(ds.nvar, 6);
  ASSERT_EQ(ds.nobs, 30);
  size_t k = 0;
  for (int v = 1; v <= 5; ++v)
    for (long i = 1; i <= 30; ++i, ++k) {
      double x = zelta_data(v, i);
      EXPECT_EQ(std::memcmp(&x, &before[k], 8), 0) << "variable " << v << " obs " << i;
    }
  std::string s;
  szelta_data(6, 1, s);
  EXPECT_EQ(s, "abcde");
  szelta_data(6, 2, s);
  EXPECT_EQ(s, "x");
  EXPECT_FALSE(ds.updata);
}

TEST_F(DtaTest, OldFormatsWriteTheirTypeCodes) {
  ASSERT_EQ(addvar("s", 80), 0);
  ASSERT_EQ(addvar("x", ST_INT), 0);
  ASSERT_EQ(setobs_quiet(1), 0);
  store(2, 1, misval_k(3));
  ASSERT_EQ(execline("save " + path("r110") + ", oldformat cortelle"), 0);
  EXPECT_EQ(ds.nvar, 0);  // memory is cleared after an old-format save
  std::string f = slurp(path("r110.dta"));
  ASSERT_GT(f.size(), 111u);
  EXPECT_EQ(static_cast<unsigned char>(f[0]), 110);
  EXPECT_EQ(static_cast<unsigned char>(f[1]), 1);  // most significant byte first
  EXPECT_EQ(static_cast<unsigned char>(f[109]), 207);
  EXPECT_EQ(f[110], 'i');
  ASSERT_EQ(execline("use " + path("r110") + ", clear"), 0);
  EXPECT_EQ(zelta_data(2, 1), misval);  // .c became .
  ASSERT_EQ(execline("save " + path("r111") + ", oldformat"), 0);
  f = slurp(path("r111.dta"));
  EXPECT_EQ(static_cast<unsigned char>(f[0]), 111);
  EXPECT_EQ(static_cast<unsigned char>(f[109]), 80);
  EXPECT_EQ(static_cast<unsigned char>(f[110]), ST_INT);
}

TEST_F(DtaTest, ReadFailureAtEveryStepKeepsTheDataset) {
  makedata();
  ASSERT_EQ(execline("save " + path("a")), 0);
  int failures = 0;
  for (int at = 1; at <= 4; ++at) {
    ds_reset();
    makedata();
    ds.updata = true;
    fst = FileState{};
    fst.failread = at;
    int rc = execline("use " + path("a") + ", clear");
    if (rc == 0) break;  // past the last read step
    ++failures;
    EXPECT_EQ(rc, 692) << "failure at step " << at;
    ASSERT_EQ(ds.nvar, 6) << "failure at step " << at;
    ASSERT_EQ(ds.nobs, 30) << "failure at step " << at;
    EXPECT_TRUE(ds.updata) << "failure at step " << at;
    EXPECT_EQ(zelta_data(4, 1), static_cast<double>(0.1f)) << "failure at step " << at;
    EXPECT_EQ(zelta_data(5, 30), misval_k(26)) << "failure at step " << at;
  }
  EXPECT_GE(failures, 2);  // the header and the records
}

TEST_F(DtaTest, WriteFailureKeepsThePreviousFile) {
  makedata();
  ASSERT_EQ(execline("save " + path("a")), 0);
  const std::string good = slurp(path("a.dta"));
  ASSERT_EQ(execline("replace b = 42 in 1"), 0);
  failingsaves("a", 4, good);
  ASSERT_EQ(execline("save " + path("a") + ", replace"), 0);
  EXPECT_NE(slurp(path("a.dta")), good);
}

// Records of 11 bytes for 400,000 observations: several writes of runs of
// blocks, the last one short. Every cell comes back, and a failure at any
// write (header, each run of records, sync, rename) keeps the old file.
TEST_F(DtaTest, LargeFileInSeveralWrites) {
  ASSERT_EQ(addvar("x", ST_DOUBLE), 0);
  ASSERT_EQ(addvar("k", ST_INT), 0);
  ASSERT_EQ(addvar("b", ST_BYTE), 0);
  const long n = 400000;
  ASSERT_EQ(setobs_quiet(n), 0);
  for (long i = 1; i <= n; ++i) {
    store(1, i, static_cast<double>(i) * 0.5 - 1e5);
    store(2, i, static_cast<double>(i % 30000));
    store(3, i, i % 7 ? static_cast<double>(i % 100) : misval_k(i % 26 + 1));
  }
  ASSERT_EQ(execline("save " + path("big")), 0);
  const std::string good = slurp(path("big.dta"));
  ASSERT_EQ(execline("replace k = 2 in 1"), 0);
  failingsaves("big", 5, good);
  ASSERT_EQ(execline("use " + path("big") + ", clear"), 0);
  ASSERT_EQ(ds.nobs, n);
  long bad = 0;
  for (long i = 1; i <= n; ++i) {
    bad += zelta_data(1, i) != static_cast<double>(i) * 0.5 - 1e5;
    bad += zelta_data(2, i) != static_cast<double>(i % 30000);
    bad += zelta_data(3, i) != (i % 7 ? static_cast<double>(i % 100) : misval_k(i % 26 + 1));
  }
  EXPECT_EQ(bad, 0);
  DtaIn f;
  ASSERT_EQ(dta_open(f, path("big.dta")), 0);
  EXPECT_EQ(f.lrecl, 11);
  EXPECT_EQ(good.size(), static_cast<size_t>(f.datastart) + static_cast<size_t>(n) * 11);
  dta_close(f);
}

// About 9 MB of records of 21 bytes: read whole or in part in pieces on two
// threads, every number byte-swapped (the file is written most significant byte first),
// strings copied as they are. A Break during the read ends it with the
// dataset in memory as it was, as an error would.
TEST_F(DtaTest, LargeFileOnTwoThreadsAndBreak) {
  ASSERT_EQ(addvar("x", ST_DOUBLE), 0);
  ASSERT_EQ(addvar("s", 3), 0);
  ASSERT_EQ(addvar("k", ST_INT), 0);
  ASSERT_EQ(addvar("y", ST_DOUBLE), 0);
  const long n = 450000;
  ASSERT_EQ(setobs_quiet(n), 0);
  const char* words[] = {"ab", "xyz", "", "q"};
  for (long i = 1; i <= n; ++i) {
    store(1, i, static_cast<double>(i) / 3);
    char cell[3] = {};  // str3: the word, padded with zeros
    std::memcpy(cell, words[i % 4], std::min<size_t>(std::strlen(words[i % 4]), 3));
    std::memcpy(dtaptr(2, i), cell, 3);
    store(3, i, i % 11 ? static_cast<double>(i % 30000 - 15000) : misval_k(i % 26 + 1));
    store(4, i, -static_cast<double>(i));
  }
  ASSERT_EQ(execline("save " + path("two")), 0);
  ASSERT_EQ(execline("use " + path("two") + ", clear"), 0);
  ASSERT_EQ(ds.nobs, n);
  long bad = 0;
  for (long i = 1; i <= n; ++i) {
    std::string s;
    szelta_data(2, i, s);
    bad += zelta_data(1, i) != static_cast<double>(i) / 3;
    bad += s != words[i % 4];
    bad += zelta_data(3, i) != (i % 11 ? static_cast<double>(i % 30000 - 15000) : misval_k(i % 26 + 1));
    bad += zelta_data(4, i) != -static_cast<double>(i);
  }
  EXPECT_EQ(bad, 0);
  // A subset read across stretches of 8 MB: an in range, and an if on a
  // variable that is not kept.
  ASSERT_EQ(execline("use x s if mod(y, 3) == 0 in 1001/420000 using " + path("two") + ", clear"), 0);
  ASSERT_EQ(ds.nvar, 2);
  ASSERT_EQ(ds.nobs, 420000 / 3 - 1000 / 3);
  bad = 0;
  for (long j = 1; j <= ds.nobs; ++j) {
    const long i = 1002 + 3 * (j - 1);
    std::string s;
    szelta_data(2, j, s);
    bad += zelta_data(1, j) != static_cast<double>(i) / 3;
    bad += s != words[i % 4];
  }
  EXPECT_EQ(bad, 0);
  ASSERT_EQ(execline("use " + path("two") + ", clear"), 0);
  // Broken off, the read leaves the dataset that was there: changed, with
  // its characteristics and sort order, or empty with the arena's contents
  // of the broken read gone.
  ASSERT_EQ(execline("keep in 1/5"), 0);
  ASSERT_EQ(execline("gen z = -_n"), 0);
  ASSERT_EQ(execline("sort z"), 0);
  charset("z", "c", "zc");
  stopflag = 1;
  EXPECT_EQ(execline("use " + path("two") + ", clear"), 1);
  stopflag = 0;
  ASSERT_EQ(ds.nvar, 5);
  ASSERT_EQ(ds.nobs, 5);
  EXPECT_TRUE(ds.updata);
  ASSERT_EQ(ds.srtlist.size(), 1u);
  EXPECT_EQ(ds.srtlist[0], 5);
  ASSERT_NE(charget("z", "c"), nullptr);
  EXPECT_EQ(*charget("z", "c"), "zc");
  for (long i = 1; i <= 5; ++i) {
    EXPECT_EQ(zelta_data(1, i), static_cast<double>(6 - i) / 3);
    EXPECT_EQ(zelta_data(5, i), -static_cast<double>(6 - i));
  }
  ASSERT_EQ(execline("drop _all"), 0);
  stopflag = 1;
  EXPECT_EQ(execline("use " + path("two")), 1);
  stopflag = 0;
  EXPECT_EQ(ds.nvar, 0);
  EXPECT_EQ(ds.nobs, 0);
  EXPECT_EQ(ds.lrecl, 0);
}

// About 6 MB of records of 15 bytes written past the page cache (the size
// from which a save goes direct lowered to a megabyte): the same bytes as
// through the cache, the time stamp aside; a failure at any write, the
// sync or the rename, and a Break, keep the old file and leave no
// temporary file.
TEST_F(DtaTest, DirectWriteIsByteIdenticalAndSafe) {
  ASSERT_EQ(addvar("x", ST_DOUBLE), 0);
  ASSERT_EQ(addvar("s", 3), 0);
  ASSERT_EQ(addvar("k", ST_LONG), 0);
  const long n = 400001;  // the last block of the file only partly filled
  ASSERT_EQ(setobs_quiet(n), 0);
  for (long i = 1; i <= n; ++i) {
    store(1, i, static_cast<double>(i) / 7);
    std::memcpy(dtaptr(2, i), i % 3 ? "ab" : "xyz", i % 3 ? 2 : 3);
    store(3, i, i % 13 ? static_cast<double>(i * 5 - 1000000) : misval_k(i % 26 + 1));
  }
  // The 17-character time stamp follows release, byte order, kind, a
  // reserved byte, the counts and the 81 bytes of the data label.
  auto nostamp = [](std::string b) {
    if (b.size() > 91 + 18) std::fill(b.begin() + 91, b.begin() + 91 + 18, ' ');
    return b;
  };
  ASSERT_EQ(execline("save " + path("cached")), 0);
  const std::string good = slurp(path("cached.dta"));
  ASSERT_EQ(good.size() % 4096 != 0, true);
  afs = AtomicFileState{};
  afs.directfrom = 1 << 20;
  ASSERT_EQ(execline("save " + path("direct")), 0);
  const std::string direct = slurp(path("direct.dta"));
  ASSERT_EQ(direct.size(), good.size());
  EXPECT_TRUE(nostamp(direct) == nostamp(good)) << "the direct file differs from the one written through the cache";
  ASSERT_EQ(std::remove(path("cached.dta").c_str()), 0);
  ASSERT_EQ(execline("replace k = 2 in 1"), 0);
  // the header, three chunks of records, the sync and the rename
  failingsaves("direct", 6, direct, 1 << 20);
  afs.directfrom = 1 << 20;
  stopflag = 1;
  EXPECT_EQ(execline("save " + path("direct") + ", replace"), 1);
  stopflag = 0;
  EXPECT_TRUE(slurp(path("direct.dta")) == direct) << "a Break changed the old file";
  EXPECT_EQ(listdir(dir).size(), 1u);
  ASSERT_EQ(execline("save " + path("direct") + ", replace"), 0);
  afs = AtomicFileState{};
  ASSERT_EQ(execline("use " + path("direct") + ", clear"), 0);
  ASSERT_EQ(ds.nobs, n);
  EXPECT_EQ(zelta_data(3, 1), 2);
  EXPECT_EQ(zelta_data(1, n), static_cast<double>(n) / 7);
}

TEST_F(DtaTest, HeaderFieldsOfAWrittenFile) {
  makedata();
  ds.datalbl = "my label";
  charset("_dta", "c1", "text one");
  ASSERT_EQ(execline("sort i b"), 0);
  ASSERT_EQ(execline("save " + path("h")), 0);
  DtaIn f;
  ASSERT_EQ(dta_open(f, path("h.dta")), 0);
  EXPECT_EQ(f.rel->release, 113);
  EXPECT_TRUE(f.hilo);
  EXPECT_EQ(f.nvar, 6);
  EXPECT_EQ(f.nobs, 30);
  EXPECT_EQ(f.datalbl, "my label");
  EXPECT_EQ(f.stamp.size(), 17u);
  EXPECT_EQ(f.lrecl, 1 + 2 + 4 + 4 + 8 + 5);
  ASSERT_EQ(f.srt.size(), 2u);
  EXPECT_EQ(f.srt[0], 2);
  EXPECT_EQ(f.srt[1], 1);
  ASSERT_EQ(f.chars.size(), 1u);
  EXPECT_EQ(f.chars[0].owner, "_dta");
  EXPECT_EQ(f.chars[0].text, "text one");
  dta_close(f);
}

TEST_F(DtaTest, EstimationSampleOnlyWithAll) {
  ASSERT_EQ(addvar("x", ST_DOUBLE), 0);
  ASSERT_EQ(addwrkvar(ST_BYTE), 0);
  ds.varlist[2] = "(e)";
  ASSERT_EQ(addvar("y", ST_INT), 0);
  ASSERT_EQ(setobs_quiet(3), 0);
  for (long i = 1; i <= 3; ++i) store(2, i, i != 2);
  ds.srtlist = {1, 2, 3};
  ASSERT_EQ(execline("save " + path("e")), 0);
  ASSERT_EQ(execline("save " + path("eall") + ", all"), 0);
  ASSERT_EQ(execline("use " + path("e") + ", clear"), 0);
  ASSERT_EQ(ds.nvar, 2);
  EXPECT_EQ(varname(2), "y");
  EXPECT_EQ(ds.srtlist, std::vector<int>{1});  // a key left out ends the sort list
  ASSERT_EQ(execline("use " + path("eall") + ", clear"), 0);
  ASSERT_EQ(ds.nvar, 3);
  EXPECT_EQ(varname(2), "(e)");
  EXPECT_EQ(zelta_data(2, 1), 1);
  EXPECT_EQ(zelta_data(2, 2), 0);
  EXPECT_EQ(ds.srtlist.size(), 3u);
}

}  // namespace
