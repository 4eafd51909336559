// Line files: the text format, the scanning of numbers, and writelc and
// readlc over files kept in memory.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/turtle_host.h"
#include "turtle/turtle.h"

namespace vex::test {
namespace {

using Messages = std::vector<std::u16string>;
using Result = NumberScanner::Result;

// Scans text to its end: the numbers read and how the scan stopped.
std::vector<float> ScanAll(std::string text, Result& last) {
  InMemoryFile file(&text);
  NumberScanner scanner(file);
  std::vector<float> values;
  float v = 0;
  while ((last = scanner.Next(v)) == Result::Number) values.push_back(v);
  return values;
}

TEST(LineFileFormat, NumbersAreWrittenWithSixDecimalsAndABlank) {
  EXPECT_EQ(LineFileNumber(100), "100.000000 ");
  EXPECT_EQ(LineFileNumber(-0.5f), "-0.500000 ");
  EXPECT_EQ(LineFileNumber(0.1f), "0.100000 ");
  EXPECT_EQ(LineFileNumber(1e10f), "10000000000.000000 ");
  EXPECT_EQ(LineFileNumber(-3.4028235e38f).size(), 48u);
}

TEST(LineFileFormat, ScanningAcceptsEveryFormOfTheScanFormat) {
  Result last;
  std::vector<float> v = ScanAll(
      " +1.5\t-2e3\n\r0x1p4 .5 1. 0X.8P1 7E+1 inf -INFINITY 1e50 1e-50 ", last);
  EXPECT_EQ(last, Result::End);
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(v, (std::vector<float>{1.5f, -2000, 16, 0.5f, 1, 1, 70, inf, -inf,
                                   inf, 0}));
  v = ScanAll("nan NAN(x_1) 0.1", last);
  ASSERT_EQ(v.size(), 3u);
  EXPECT_TRUE(std::isnan(v[0]) && std::isnan(v[1]));
  EXPECT_EQ(v[2], 0.1f);  // rounded once, to the nearest float
}

TEST(LineFileFormat, ScanningStopsAtWhatIsNoNumber) {
  for (const char* bad : {"-", ".", "abc", "0x", "1e+", "1e", "infin", "nan(",
                          "nan(a", "+-1", "--1"}) {
    Result last;
    EXPECT_TRUE(ScanAll(std::string("4 ") + bad + " 5", last) ==
                std::vector<float>{4})
        << bad;
    EXPECT_EQ(last, Result::NotANumber) << bad;
  }
}

class LineFiles : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(s.started); }
  std::string Run(const std::string& text) { return s.Run(text); }
  std::string& File(const std::u16string& name) { return s.host.files[name]; }
  Messages& messages() { return s.host.messages; }

  TurtleSession s;
};

TEST_F(LineFiles, WritingGivesOneRunOfNumbers) {
  EXPECT_EQ(Run("(writelc '((0 0 100 0) (100 0 100 100)) NIL 'pic)"), "T ");
  EXPECT_EQ(File(u"pic.lin"),
            "0.000000 0.000000 100.000000 0.000000 "
            "100.000000 0.000000 100.000000 100.000000 ");
  EXPECT_EQ(File(u"pic.ar"), "");
  EXPECT_EQ(s.host.jobs, std::vector<WindowJob>{WindowJob::SaveLines});
}

TEST_F(LineFiles, ReadingGivesTheRecordsInReverseOrder) {
  Run("(writelc '((0 0 100 0) (100 0 100 100)) '((1 2 3 4 5 6 7 8.5 9)) "
      "'pic)");
  EXPECT_EQ(File(u"pic.ar"),
            "1.000000 2.000000 3.000000 4.000000 5.000000 6.000000 7.000000 "
            "8.500000 ");
  EXPECT_EQ(Run("(readlc 'pic)"),
            "(((100.000000 0.000000 100.000000 100.000000 )"
            "(0.000000 0.000000 100.000000 0.000000 ))"
            "((1.000000 2.000000 3.000000 4.000000 5.000000 6.000000 "
            "7.000000 8.500000 )))");
  EXPECT_EQ(s.host.jobs.back(), WindowJob::LoadLines);
}

TEST_F(LineFiles, MalformedRecordsAreSkippedAndReported) {
  EXPECT_EQ(Run("(writelc '((1 2 3)) NIL 'pic)"), "NIL ");
  EXPECT_EQ(File(u"pic.lin"), "");
  EXPECT_EQ(Run("(writelc '((1 2 3 4) x (1 2 3 a)) '((1)) 'pic)"), "NIL ");
  EXPECT_EQ(File(u"pic.lin"), "1.000000 2.000000 3.000000 4.000000 ");
  EXPECT_TRUE(messages().empty());
}

TEST_F(LineFiles, ACircularListEndsTheWalk) {
  EXPECT_EQ(Run("(progn (setq c (list (list 1 2 3 4))) (setf (cdr c) c) "
                "(writelc c NIL 'loop))"),
            "NIL ");
  EXPECT_FALSE(File(u"loop.lin").empty());
}

TEST_F(LineFiles, NamesMustBeSymbolsThatFitTheNameBuffer) {
  EXPECT_EQ(Run("(writelc NIL NIL 5)"), "NIL ");
  EXPECT_EQ(Run("(readlc 5)"), "NIL ");
  EXPECT_EQ(messages(), Messages(2, msg::BAD_FILE_NAME));
  std::string longest(NAME_BUFFER_UNITS - 5, 'a');
  EXPECT_EQ(Run("(writelc NIL NIL '" + longest + ")"), "T ");
  EXPECT_EQ(Run("(writelc NIL NIL '" + longest + "a)"), "NIL ");
  EXPECT_EQ(Run("(readlc '" + longest + "a)"), "NIL ");
  EXPECT_EQ(messages(), Messages(4, msg::BAD_FILE_NAME));
  // Only the pair of the name that fits was touched (besides the library).
  EXPECT_EQ(s.host.files.size(), 3u);
}

TEST_F(LineFiles, FilesThatCannotBeOpenedAbandonReading) {
  EXPECT_EQ(Run("(readlc 'missing)"), "ERROR");
  File(u"half.lin") = "1 2 3 4 ";
  EXPECT_EQ(Run("(readlc 'half)"), "ERROR");
  s.host.unwritable.insert(u"locked.ar");
  EXPECT_EQ(Run("(writelc NIL NIL 'locked)"), "NIL ");
  EXPECT_EQ(messages(), Messages(3, msg::CANNOT_OPEN_FILE));
}

TEST_F(LineFiles, AFailedWriteAnswersNil) {
  s.host.failWrites = true;
  EXPECT_EQ(Run("(writelc '((1 2 3 4)) NIL 'pic)"), "NIL ");
  EXPECT_EQ(Run("(writelc NIL NIL 'pic)"), "T ");
}

TEST_F(LineFiles, AnyWhiteSpaceSeparatesNumbers) {
  File(u"pic.lin") = "1\n2\r\n 3\t\t4     \n5 6 7 8\n";
  File(u"pic.ar") = "";
  EXPECT_EQ(Run("(readlc 'pic)"),
            "(((5.000000 6.000000 7.000000 8.000000 )"
            "(1.000000 2.000000 3.000000 4.000000 ))NIL )");
}

TEST_F(LineFiles, MalformedContentIsCutAtTheLastCompleteRecord) {
  File(u"pic.ar") = "";
  const std::string one = "(((1.000000 2.000000 3.000000 4.000000 ))NIL )";
  for (const char* content : {"1 2 3 4 5 6", "1 2 3 4 x 5 6 7 8",
                              "1 2 3 4 5 6 7 x", "1 2 3 4 1e 6 7 8"}) {
    File(u"pic.lin") = content;
    EXPECT_EQ(Run("(readlc 'pic)"), one) << content;
  }
  File(u"pic.lin") = "garbage 1 2 3 4";
  EXPECT_EQ(Run("(readlc 'pic)"), "(NIL NIL )");
  File(u"pic.lin") = "1 2 3 4";
  File(u"pic.ar") = "1 2 3 4 5 6 7";
  EXPECT_EQ(Run("(readlc 'pic)"), one);
  EXPECT_TRUE(messages().empty());
}

}  // namespace
}  // namespace vex::test
