// Safe file replacement and the byte-order helpers: an injected failure at
// every step of a write leaves the old file intact and no temporary behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "files/atomicfile.h"
#include "files/bgwrite.h"
#include "files/byteorder.h"
#include "files_testutil.h"

namespace {

struct AtomicTest : ::testing::Test, ScratchDir {
  std::string target;
  void SetUp() override {
    make();
    target = path("data.dta");
    std::ofstream(target) << "old good copy";
    afs = AtomicFileState{};
  }
  void TearDown() override {
    afs = AtomicFileState{};
    cleanup();
  }
  void backgroundwrite(bool direct);
  // Three writes, then the commit (sync and rename): five operations.
  int writeall() {
    AtomicFile f;
    if (int rc = af_open(f, target)) return rc;
    for (const char* part : {"new ", "good ", "copy"}) {
      if (int rc = af_write(f, part, std::string(part).size())) {
        af_abort(f);
        return rc;
      }
    }
    return af_commit(f);
  }
};

TEST_F(AtomicTest, FailureAtEveryStepKeepsOldCopy) {
  for (int at = 1; at <= 5; ++at) {
    afs = AtomicFileState{};
    afs.failat = at;
    EXPECT_EQ(writeall(), 699) << "failure at operation " << at;
    EXPECT_EQ(slurp(target), "old good copy") << "failure at operation " << at;
    EXPECT_EQ(listdir(dir).size(), 1u) << "temporary file left after failure at " << at;
  }
  afs = AtomicFileState{};
  afs.failat = 6;  // past the last operation: the write succeeds
  EXPECT_EQ(writeall(), 0);
  EXPECT_EQ(slurp(target), "new good copy");
  EXPECT_EQ(listdir(dir).size(), 1u);
}

TEST_F(AtomicTest, FailureIsStickyAndReported) {
  AtomicFile f;
  ASSERT_EQ(af_open(f, target), 0);
  afs.failat = 1;
  EXPECT_EQ(af_write(f, "x", 1), 699);
  afs.failat = 0;
  EXPECT_EQ(af_write(f, "y", 1), 699);  // sticky
  EXPECT_EQ(af_commit(f), 699);
  EXPECT_EQ(af_errtext(f), "No space left on device");
  EXPECT_EQ(slurp(target), "old good copy");
  EXPECT_EQ(listdir(dir).size(), 1u);
}

// The temporary file has no name while it is written (this folder's file
// system allows it), so a process killed before the commit leaves nothing.
TEST_F(AtomicTest, TemporaryIsUnnamedUntilCommit) {
  AtomicFile f;
  ASSERT_EQ(af_open(f, dir + "/fresh.dta"), 0);
  ASSERT_EQ(af_write(f, "abc", 3), 0);
  EXPECT_EQ(listdir(dir).size(), 1u);
  ASSERT_EQ(af_commit(f), 0);
  EXPECT_EQ(slurp(dir + "/fresh.dta"), "abc");
  EXPECT_EQ(listdir(dir).size(), 2u);
}

TEST_F(AtomicTest, AbortRemovesTemporary) {
  for (bool named : {false, true}) {
    afs.named = named;
    AtomicFile f;
    ASSERT_EQ(af_open(f, dir + "/fresh.dta"), 0);
    ASSERT_EQ(af_write(f, "abc", 3), 0);
    EXPECT_EQ(listdir(dir).size(), named ? 2u : 1u);
    af_abort(f);
    EXPECT_EQ(listdir(dir).size(), 1u) << "named " << named;
  }
}

// Where the temporary file must have a name, a killed writer's file is
// recognised by its name and removed by the next write into the folder;
// those of running writers and other files stay.
TEST_F(AtomicTest, NamedTemporaryOfKilledWriterIsSwept) {
  pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const std::string dead = std::to_string(child), live = std::to_string(getppid());
  const std::vector<std::string> keep = {"x.dta.zelta" + live + "-abcdef", "y.dta.zelta" + dead + "-abc",
                                         "notes.zelta" + dead + "-abcdef.txt", "data.dta"};
  for (const std::string& n : keep) std::ofstream(dir + "/" + n) << "keep";
  std::ofstream(dir + "/old.dta.zelta" + dead + "-Xy12Zq") << "left by a killed save";
  afs.named = true;
  EXPECT_EQ(writeall(), 0);
  auto names = listdir(dir);
  std::sort(names.begin(), names.end());
  std::vector<std::string> want = keep;
  std::sort(want.begin(), want.end());
  EXPECT_EQ(names, want);
  EXPECT_EQ(slurp(target), "new good copy");
}

// A new file in a folder that cannot be written is refused with 603 and the
// folder named; an existing file that cannot be written is read-only (608).
TEST_F(AtomicTest, FolderAndFileRefusals) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere; tests/files_fs_test.sh covers this";
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  AtomicFile f;
  EXPECT_EQ(af_open(f, dir + "/new.dta"), 603);
  EXPECT_EQ(f.err, EACCES);
  ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
  ASSERT_EQ(chmod(target.c_str(), 0444), 0);
  EXPECT_EQ(af_open(f, target), 608);
}

TEST_F(AtomicTest, MissingFolderCannotBeOpened) {
  AtomicFile f;
  EXPECT_EQ(af_open(f, dir + "/nofolder/x.dta"), 603);
  EXPECT_EQ(listdir(dir).size(), 1u);
}

// Large enough that the bytes are queued for writeback on the way: a failure
// after that still leaves the old copy, and a success writes every byte.
TEST_F(AtomicTest, LargeWriteQueuedForWritebackStaysSafe) {
  std::vector<char> chunk(1 << 20);
  auto writebig = [&](int chunks) {
    AtomicFile f;
    if (int rc = af_open(f, target)) return rc;
    for (int k = 0; k < chunks; ++k) {
      for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>('a' + (k + static_cast<int>(i)) % 26);
      if (int rc = af_write(f, chunk.data(), chunk.size())) {
        af_abort(f);
        return rc;
      }
    }
    return af_commit(f);
  };
  for (int at : {10, 13, 14}) {  // a write after the first 8 MB, the sync, the rename
    afs = AtomicFileState{};
    afs.failat = at;
    EXPECT_EQ(writebig(12), 699) << "failure at operation " << at;
    EXPECT_EQ(slurp(target), "old good copy") << "failure at operation " << at;
    EXPECT_EQ(listdir(dir).size(), 1u) << "temporary file left after failure at " << at;
  }
  afs = AtomicFileState{};
  ASSERT_EQ(writebig(12), 0);
  const std::string got = slurp(target);
  ASSERT_EQ(got.size(), 12u << 20);
  for (size_t k = 0; k < 12; ++k)
    for (size_t i : {size_t{0}, size_t{12345}, chunk.size() - 1})
      ASSERT_EQ(got[(k << 20) + i], static_cast<char>('a' + (k + i) % 26)) << "chunk " << k << " byte " << i;
}

// A file written on the background thread, through the page cache and past
// it: pieces of odd sizes (so no write ends where a chunk or a block does),
// some built in place; the file holds exactly the bytes appended (a direct
// file's padded last block cut off), and a failure at a write, the sync or
// the rename leaves the old copy.
TEST_F(AtomicTest, BackgroundWriteKeepsEveryByteAndStaysSafe) {
  for (bool direct : {false, true}) {
    SCOPED_TRACE(direct ? "direct" : "through the cache");
    backgroundwrite(direct);
    std::ofstream(target, std::ios::trunc) << "old good copy";
  }
}

void AtomicTest::backgroundwrite(bool direct) {
  const size_t piece = (3u << 20) + 4099;
  auto byteat = [](size_t i) { return static_cast<char>('a' + (i * 7 + i / 4096) % 26); };
  auto writebig = [&](int pieces) {
    AtomicFile f;
    if (int rc = af_open(f, target, true, direct)) return rc;
    if (direct && (!f.bg || !f.bg->direct())) {
      ADD_FAILURE() << "no direct writer on " << target;
      af_abort(f);
      return 0;
    }
    size_t at = 0;
    std::vector<char> buf(piece);
    for (int k = 0; k < pieces; ++k) {
      if (k % 2) {  // built in place
        size_t left = piece;
        while (left) {
          size_t avail;
          unsigned char* p = af_space(f, &avail);
          if (!p) {
            af_abort(f);
            return 699;
          }
          const size_t n = std::min(avail, std::min(left, size_t{200000}));
          for (size_t i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(byteat(at + i));
          if (int rc = af_advance(f, n)) {
            af_abort(f);
            return rc;
          }
          at += n;
          left -= n;
        }
      } else {
        for (size_t i = 0; i < piece; ++i) buf[i] = byteat(at + i);
        if (int rc = af_write(f, buf.data(), piece)) {
          af_abort(f);
          return rc;
        }
        at += piece;
      }
    }
    return af_commit(f);
  };
  for (int at : {2, 18, 35, 36}) {  // one built in place, a write, the sync, the rename
    afs = AtomicFileState{};
    afs.failat = at;
    EXPECT_EQ(writebig(4), 699) << "failure at operation " << at;
    EXPECT_EQ(slurp(target), "old good copy") << "failure at operation " << at;
    EXPECT_EQ(listdir(dir).size(), 1u) << "temporary file left after failure at " << at;
  }
  afs = AtomicFileState{};
  ASSERT_EQ(writebig(4), 0);
  const std::string got = slurp(target);
  ASSERT_EQ(got.size(), 4 * piece);
  size_t bad = 0;
  for (size_t i = 0; i < got.size(); ++i) bad += got[i] != byteat(i);
  EXPECT_EQ(bad, 0u);
}

// One column of a block of records: strided places, most significant byte
// first, whatever the width.
TEST(ByteOrder, CellsIntoRecords) {
  const double d[3] = {1.0, -2.5, 0.1};
  const int16_t s[3] = {1, -2, 300};
  const unsigned char b[3] = {7, 8, 9};
  unsigned char rec[3 * 11] = {};  // records of a double, an int and a byte
  bo_putcells(rec, 11, reinterpret_cast<const unsigned char*>(d), 8, 3, bo_native() != BO_HILO);
  bo_putcells(rec + 8, 11, reinterpret_cast<const unsigned char*>(s), 2, 3, bo_native() != BO_HILO);
  bo_putcells(rec + 10, 11, b, 1, 3, bo_native() != BO_HILO);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(bo_getdbl(rec + 11 * i, true), d[i]) << i;
    EXPECT_EQ(bo_gets2(rec + 11 * i + 8, true), s[i]) << i;
    EXPECT_EQ(rec[11 * i + 10], b[i]) << i;
  }
  EXPECT_EQ(rec[0], 0x3f);  // 1.0 is 3ff0 0000 0000 0000
  EXPECT_EQ(rec[1], 0xf0);
  EXPECT_EQ(rec[8 + 11 + 1], 0xfe);  // -2 is fffe
  unsigned char same[2 * 4] = {};
  const uint32_t u[2] = {0x01020304u, 0xa0b0c0d0u};
  bo_putcells(same, 4, reinterpret_cast<const unsigned char*>(u), 4, 2, false);  // no reversal
  EXPECT_EQ(bo_get4(same + 4, bo_native() == BO_HILO), 0xa0b0c0d0u);
}

TEST(ByteOrder, FieldsInBothOrders) {
  unsigned char b[8];
  bo_put4(b, 0x01020304u, true);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[3], 4);
  EXPECT_EQ(bo_get4(b, true), 0x01020304u);
  EXPECT_EQ(bo_get4(b, false), 0x04030201u);
  bo_put2(b, 0xfffe, false);
  EXPECT_EQ(bo_gets2(b, false), -2);
  bo_putdbl(b, -1.5, false);
  EXPECT_EQ(bo_getdbl(b, false), -1.5);
  bo_swap(b, 8);
  EXPECT_EQ(bo_getdbl(b, true), -1.5);
  bo_putflt(b, 0.25f, true);
  EXPECT_EQ(b[0], 0x3e);
  EXPECT_EQ(bo_getflt(b, true), 0.25f);
}

TEST(ByteOrder, ReaderStopsAtEnd) {
  const unsigned char data[] = {0, 5, 'a', 'b', 0, 'z'};
  ByteReader r(data, sizeof data, true);
  EXPECT_EQ(r.u2(), 5);
  EXPECT_EQ(r.text(3), "ab");
  EXPECT_FALSE(r.fail);
  EXPECT_EQ(r.u4(), 0u);  // only one byte left
  EXPECT_TRUE(r.fail);
  EXPECT_EQ(r.u1(), 0u);  // stays failed
  ByteWriter w(false);
  w.u2(0x0102);
  w.text("abcdef", 4);
  ASSERT_EQ(w.buf.size(), 6u);
  EXPECT_EQ(w.buf[0], 2);
  EXPECT_EQ(w.buf[4], 'c');
  EXPECT_EQ(w.buf[5], 0);
}

}  // namespace
