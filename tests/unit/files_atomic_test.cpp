// Safe file replacement and the byte-order helpers: an injected failure at
// every step of a write leaves the old file intact and no temporary behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "files/atomicfile.h"
#include "files/byteorder.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> listdir(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(d);
  return names;
}

struct AtomicTest : ::testing::Test {
  std::string dir, target;
  void SetUp() override {
    char tmpl[] = "/tmp/zelta_atomic_XXXXXX";
    dir = mkdtemp(tmpl);
    target = dir + "/data.dta";
    std::ofstream(target) << "old good copy";
    afs = AtomicFileState{};
  }
  void TearDown() override {
    afs = AtomicFileState{};
    for (const std::string& n : listdir(dir)) unlink((dir + "/" + n).c_str());
    rmdir(dir.c_str());
  }
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

TEST_F(AtomicTest, AbortRemovesTemporary) {
  AtomicFile f;
  ASSERT_EQ(af_open(f, dir + "/fresh.dta"), 0);
  ASSERT_EQ(af_write(f, "abc", 3), 0);
  EXPECT_EQ(listdir(dir).size(), 2u);
  af_abort(f);
  EXPECT_EQ(listdir(dir).size(), 1u);
}

TEST_F(AtomicTest, MissingFolderCannotBeOpened) {
  AtomicFile f;
  EXPECT_EQ(af_open(f, dir + "/nofolder/x.dta"), 603);
  EXPECT_EQ(listdir(dir).size(), 1u);
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
