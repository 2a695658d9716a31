// The text readers' internal routines: reading a field as a number, the
// delimited-text field scanner, and the dictionary parser's entries and
// refusals, each against values worked out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/value.h"
#include "files/csv.h"
#include "files/dict.h"
#include "files/textload.h"
#include "output/output.h"

namespace {

bool num(const std::string& s, double* x) { return tl_number(s.data(), s.size(), x); }

TEST(TextNumber, AcceptsDecimalNumbersAndMissingCodes) {
  double x = 0;
  EXPECT_TRUE(num("12", &x));
  EXPECT_EQ(x, 12);
  EXPECT_TRUE(num("  -1.5e3 ", &x));
  EXPECT_EQ(x, -1500);
  EXPECT_TRUE(num("+.25", &x));
  EXPECT_EQ(x, 0.25);
  EXPECT_TRUE(num("1.", &x));
  EXPECT_EQ(x, 1);
  EXPECT_TRUE(num(".", &x));
  EXPECT_EQ(x, misval);
  EXPECT_TRUE(num(".z", &x));
  EXPECT_EQ(x, misval_k(26));
  EXPECT_TRUE(num("8.9e307", &x));  // below the missing values: kept
  EXPECT_EQ(x, 8.9e307);
  EXPECT_TRUE(num("9e307", &x));  // at or above 2^1023 a number would read as missing
  EXPECT_EQ(x, misval);
  EXPECT_TRUE(num("-1e308", &x));
  EXPECT_EQ(x, -1e308);
}

TEST(TextNumber, RefusesEverythingElse) {
  double x = 7;
  for (const char* s : {"", " ", "abc", "1,5", "1 2", "inf", "nan", "-inf", "+-1", "--1", "1e",
                        "0x10", ".A", "..", ".ab", "1e999", "e5", "-", "+"})
    EXPECT_FALSE(num(s, &x)) << "'" << s << "'";
}

// All rows of a text as vectors of field texts.
std::vector<std::vector<std::string>> rows(const std::string& text, char delim, int* rc) {
  CsvScan s;
  s.buf = text.data();
  s.len = text.size();
  s.delim = delim;
  std::vector<std::vector<std::string>> out;
  *rc = 0;
  while (csv_rowstart(s)) {
    out.emplace_back();
    bool end = false;
    do {
      CsvField f;
      if ((*rc = csv_field(s, f, &end))) return out;
      out.back().push_back(csv_text(f));
    } while (!end);
  }
  return out;
}

TEST(CsvScan, FieldsQuotesAndLineEnds) {
  int rc;
  auto r = rows("a, b ,\"c,d\"\r\n\n\"x\"\"y\",\"multi\nline\",\n  \"q\" ,z", ',', &rc);
  ASSERT_EQ(rc, 0);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0], (std::vector<std::string>{"a", "b", "c,d"}));
  EXPECT_EQ(r[1], (std::vector<std::string>{"x\"y", "multi\nline", ""}));
  EXPECT_EQ(r[2], (std::vector<std::string>{"q", "z"}));
}

TEST(CsvScan, TabsKeepBlanksInsideAndCountLines) {
  int rc;
  auto r = rows("a b\t c\n1\t\t3", '\t', &rc);
  ASSERT_EQ(rc, 0);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0], (std::vector<std::string>{"a b", "c"}));
  EXPECT_EQ(r[1], (std::vector<std::string>{"1", "", "3"}));
  CsvScan s;
  const std::string t = "a\n\"b\nc\nd";
  s.buf = t.data();
  s.len = t.size();
  CsvField f;
  bool end;
  ASSERT_TRUE(csv_rowstart(s));
  ASSERT_EQ(csv_field(s, f, &end), 0);
  ASSERT_TRUE(csv_rowstart(s));
  EXPECT_EQ(csv_field(s, f, &end), 1);  // the quote is never closed
  EXPECT_EQ(s.line, 2);                 // reported where it opened
}

// Parses a dictionary given as lines; the code of the first failure.
int parse(const std::vector<std::string>& lines, DictParse& p) {
  for (const std::string& l : lines)
    if (int rc = dict_line(p, l)) return rc;
  return dict_end(p);
}

struct DictTest : ::testing::Test {
  std::string sink;
  void SetUp() override { out_set_capture(&sink); }
  void TearDown() override { out_set_capture(nullptr); }
};

TEST_F(DictTest, LabelCommentsCarryValueLabels) {
  DictParse p;
  ASSERT_EQ(parse({"* label define early 1 \"before the brace\"", "dictionary {", "  byte v:yn",
                   "* label define yn 1 \"ja\"", "  *   label   define yn -3 `\"x `\"y\"' z\"'  ",
                   "* label define yn 2", "* label define yn 1.5 \"half\"", "* label define 1yn 4 \"bad name\"",
                   "* label define yn 5 \"text\" extra", "* label define yn 6 `\"open\"",
                   "* label defines yn 7 \"x\"", "* label define yn 2147483621 \"too big\"",
                   "* label define yn 8 \"\"", "}"},
                  p),
            0);
  const auto& l = p.d.labels;
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[0].name, "yn");
  EXPECT_EQ(l[0].value, 1);
  EXPECT_EQ(l[0].text, "ja");
  EXPECT_EQ(l[1].value, -3);
  EXPECT_EQ(l[1].text, "x `\"y\"' z");
  EXPECT_EQ(l[2].value, 8);
  EXPECT_EQ(l[2].text, "");
  ASSERT_EQ(p.d.vars.size(), 1u);
  EXPECT_EQ(p.d.vars[0].lblname, "yn");
}

TEST_F(DictTest, EntriesTakeTheirPlacesAndFormats) {
  DictParse p;
  ASSERT_EQ(parse({"infile dictionary using \"my data\" {", "  _lines(3) _first(4)",
                   "  * comment _column(9) x", "  _column(5) str7 name %7S \"The name\"",
                   "  _skip(2) _skip w:lab %5.2f", "  _line(3) byte c", "  _newline(0) bad"},
                  p),
            614);  // _newline(0) is out of range
  DictParse q;
  ASSERT_EQ(parse({"infile dictionary using \"my data\" {", "  _lines(3) _first(4)",
                   "  * comment _column(9) x", "  _line(2) _column(5) str7 name %7S \"The name\"",
                   "  _skip(2) _skip w:lab %5.2f", "  _line(1) byte c }"},
                  q),
            0);
  const Dict& d = q.d;
  EXPECT_EQ(d.usingfn, "my data");
  EXPECT_EQ(d.lines, 3);
  EXPECT_EQ(d.firstline, 4);
  EXPECT_EQ(d.nlines(), 3);
  ASSERT_EQ(d.vars.size(), 3u);
  // Ordered by line: c (line 1) before name and w (line 2).
  EXPECT_EQ(d.vars[0].name, "c");
  EXPECT_EQ(d.vars[0].type, ST_BYTE);
  EXPECT_EQ(d.vars[0].width, 0);
  EXPECT_EQ(d.vars[1].name, "name");
  EXPECT_EQ(d.vars[1].type, 7);
  EXPECT_EQ(d.vars[1].kind, 'S');
  EXPECT_EQ(d.vars[1].col, 5);
  EXPECT_EQ(d.vars[1].varlab, "The name");
  EXPECT_EQ(d.vars[2].name, "w");
  EXPECT_EQ(d.vars[2].type, ST_FLOAT);
  EXPECT_EQ(d.vars[2].lblname, "lab");
  EXPECT_EQ(d.vars[2].skip, 3);
  EXPECT_EQ(d.vars[2].width, 5);
  EXPECT_EQ(d.vars[2].dec, 2);
  EXPECT_EQ(d.vars[2].line, 2);
}

TEST_F(DictTest, RefusalsCarryTheirCodes) {
  struct Case {
    std::vector<std::string> lines;
    int rc;
  } cases[] = {
      {{"data {", "x", "}"}, 613},
      {{"dictionary x"}, 613},
      {{"dictionary {", "x"}, 612},
      {{}, 613},
      {{"dictionary {", "x %5.5f", "}"}, 120},
      {{"dictionary {", "x %31f", "}"}, 120},
      {{"dictionary {", "str5 x %245s", "}"}, 120},
      {{"dictionary {", "x %5.2s", "}"}, 120},
      {{"dictionary {", "x %d", "}"}, 120},
      {{"dictionary {", "str5 s:lbl", "}"}, 181},
      {{"dictionary {", "x", "x", "}"}, 110},
      {{"dictionary {", "_all", "}"}, 614},
      {{"dictionary {", "1x", "}"}, 614},
      {{"dictionary {", "_column(32768) x", "}"}, 614},
      {{"dictionary {", "_column x", "}"}, 614},
      {{"dictionary {", "_lrecl(32766) x", "}"}, 614},
      {{"dictionary {", "_lines(2) _line(3) x", "}"}, 614},
      {{"dictionary {", "_line(32000) _newline x", "}"}, 614},
      {{"dictionary {", "_firstlineoffile(1) _first(2) x", "}"}, 614},
      {{"dictionary {", "\"label first\"", "}"}, 614},
      {{"dictionary {", "}"}, 614},
      {{"dictionary {", "x \"open", "}"}, 614},
  };
  for (const Case& c : cases) {
    DictParse p;
    EXPECT_EQ(parse(c.lines, p), c.rc) << (c.lines.empty() ? "(none)" : c.lines.back());
  }
}

}  // namespace
