// Do-file line assembly: comments, quotes, continuation, delimiters, tabs and
// control bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "interp/dofile.h"
#include "output/output.h"

static std::vector<std::string> commands(const std::string& text, int delim = 0,
                                         size_t maxlen = 1000) {
  char path[] = "/tmp/zelta_dofile_XXXXXX";
  int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  int rc;
  DoFile* h = dofopen(path, &rc);
  EXPECT_NE(h, nullptr);
  std::vector<std::string> r;
  std::string sink;
  out_set_capture(&sink);
  std::string buf;
  while (h && rddofile(buf, h, maxlen, delim, false) == 0) r.push_back(buf);
  out_set_capture(nullptr);
  dofclos(h);
  unlink(path);
  return r;
}

TEST(DoFile, LinesAndLineEnds) {
  EXPECT_EQ(commands("a\r\nb\rc\n"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(DoFile, LastLineWithoutNewlineIsDropped) {
  EXPECT_EQ(commands("a\nb"), (std::vector<std::string>{"a"}));
}

TEST(DoFile, BlockCommentsNest) {
  EXPECT_EQ(commands("a /* x /* y */ z */ b\n"), (std::vector<std::string>{"a  b"}));
  EXPECT_EQ(commands("a /* spans\nlines */ b\n"), (std::vector<std::string>{"a  b"}));
}

TEST(DoFile, LineCommentNeedsBlankBefore) {
  EXPECT_EQ(commands("di a//b\n"), (std::vector<std::string>{"di a//b"}));
  EXPECT_EQ(commands("di a // b\n"), (std::vector<std::string>{"di a "}));
  EXPECT_EQ(commands("// whole line\nx\n"), (std::vector<std::string>{"", "x"}));
}

TEST(DoFile, CommentMarkersInQuotesAreText) {
  EXPECT_EQ(commands("di \"a // b /* c\"\n"), (std::vector<std::string>{"di \"a // b /* c\""}));
  EXPECT_EQ(commands("di `\"a /* \"' b\n"), (std::vector<std::string>{"di `\"a /* \"' b"}));
}

TEST(DoFile, TripleSlashContinuesInCrMode) {
  EXPECT_EQ(commands("di 1 ///\n + 2\n"), (std::vector<std::string>{"di 1  + 2"}));
}

TEST(DoFile, SemicolonMode) {
  EXPECT_EQ(commands("di 1\n+ 2;\n", 1), (std::vector<std::string>{"di 1 + 2"}));
  // a # line ends at its line end even without a semicolon
  EXPECT_EQ(commands("#delimit cr\n", 1), (std::vector<std::string>{"#delimit cr"}));
  // `///` is a comment, not a continuation, in ; mode
  EXPECT_EQ(commands("a ///x\nb;\n", 1), (std::vector<std::string>{"a  b"}));
}

TEST(DoFile, TabsExpandToEightColumns) {
  EXPECT_EQ(commands("abc\tx\n"), (std::vector<std::string>{"abc     x"}));
}

TEST(DoFile, ControlBytesDropped) {
  EXPECT_EQ(commands(std::string("a\x01\x02z\xff\n")), (std::vector<std::string>{"az"}));
}

TEST(DoFile, InputTooLongEndsFile) {
  std::string longline(50, 'x');
  EXPECT_EQ(commands("ok\n" + longline + "\nnever\n", 0, 20), (std::vector<std::string>{"ok"}));
}
