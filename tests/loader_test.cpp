// Loading source files: the byte-order mark, what lies between and inside
// expressions (comments, line ends, tabs, odd bytes, NULs), the length
// limit, failures part way through a file, and the file name's limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/utf.h"
#include "tests/test_host.h"

namespace vex::coretest {
namespace {

// UTF-16LE bytes of text, after the byte-order mark FF FE.
std::string Source(std::u16string_view text, std::string bom = "\xFF\xFE") {
  for (char16_t u : text) {
    bom += char(u & 0xFF);
    bom += char(u >> 8);
  }
  return bom;
}

class LoaderTest : public testing::Test {
 protected:
  // Loads prog.LSP holding bytes: the run's value or "<failed>", and the
  // messages it showed.
  std::string Load(const std::string& bytes) {
    s.host.files[u"prog.LSP"] = bytes;
    s.TakeMessages();
    return s.Run(std::string("(load 'prog)"));
  }
  std::string Value(const char* name) { return s.Run(std::string(name)); }
  std::vector<std::string> Messages() { return s.TakeMessages(); }
  static std::vector<std::string> Only(const std::string& text) {
    return {"エラー: " + text};
  }

  Session s;
};

TEST_F(LoaderTest, OnlyLittleEndianFilesWithTheMarkAreRead) {
  std::string bigEndian = "\xFE\xFF";
  for (char c : std::string("(setq v 1)")) bigEndian += {'\0', c};
  const std::string notUnicode[] = {
      "",           "\xFF",
      bigEndian,    Source(u"(setq v 1)", ""),
      "(setq v 1)", "\xEF\xBB\xBF(setq v 1)",
  };
  for (const std::string& bytes : notUnicode) {
    EXPECT_EQ(Load(bytes), "<failed>");
    EXPECT_EQ(Messages(), Only("unicodeのファイルではありません"));
  }
  EXPECT_EQ(Value("v"), "<failed>");
  Messages();

  EXPECT_EQ(Load(Source(u"")), "T ");
  EXPECT_EQ(Load(Source(u"; only a comment\r\n;(car 5)\r\n; no line end")),
            "T ");
  EXPECT_EQ(s.host.titles.back(), "Vexilon - T ");
  EXPECT_EQ(s.host.titles[s.host.titles.size() - 2], "prog.LSPを読み込みます");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(LoaderTest, BetweenExpressionsOnlyParenthesesAndCommentsCount) {
  // Atoms and apostrophes at the top level are skipped.
  EXPECT_EQ(Load(Source(u"x 123 'q (setq v 1)\r\n; (car 5)\r\n(setq w v)")),
            "T ");
  EXPECT_EQ(Value("w"), "1.000000 ");
  EXPECT_EQ(Load(Source(u"(setq v 2) '(undefined-fn)")), "<failed>");
  EXPECT_EQ(Messages(), Only("未定義の関数です"));
  EXPECT_EQ(Value("v"), "2.000000 ");

  // A stray ")" stops the load; what came before it stays done.
  EXPECT_EQ(Load(Source(u"(setq s1 1) ) (setq s2 2)")), "<failed>");
  EXPECT_EQ(Messages(), Only(")が多すぎます"));
  EXPECT_EQ(Value("s1"), "1.000000 ");
  EXPECT_EQ(Value("s2"), "<failed>");
}

TEST_F(LoaderTest, AFileEndingInsideAnExpressionFails) {
  for (const char16_t* text :
       {u"(setq v 1", u"(setq v (quote (a b))", u"(setq v 1 ; no line end",
        u"(setq v 1 ; comment\r\n"}) {
    EXPECT_EQ(Load(Source(text)), "<failed>");
    EXPECT_EQ(Messages(), Only(")がありません"));
  }
  // A last odd byte is no unit: ignored between expressions (even a
  // "("), the end of the file inside one.
  EXPECT_EQ(Load(Source(u"(setq v 1)") + "("), "T ");
  EXPECT_EQ(Load(Source(u"(setq v 1)") + "x"), "T ");
  EXPECT_EQ(Load(Source(u"(setq v 2") + ")"), "<failed>");
  EXPECT_EQ(Messages(), Only(")がありません"));
  EXPECT_EQ(Value("v"), "1.000000 ");
}

TEST_F(LoaderTest, CommentsLineEndsAndTabsInsideAnExpression) {
  // With CR LF the line feed after a comment is a blank; with a lone line
  // end the two lines join.
  EXPECT_EQ(Load(Source(u"(setq v (quote (a ; note\r\nb)))")), "T ");
  EXPECT_EQ(Value("v"), "(a b )");
  EXPECT_EQ(Load(Source(u"(setq v (quote (a;note\nb)))")), "T ");
  EXPECT_EQ(Value("v"), "(ab )");
  EXPECT_EQ(Load(Source(u"(setq v (quote (a;note\rb)))")), "T ");
  EXPECT_EQ(Value("v"), "(ab )");
  EXPECT_EQ(Load(Source(u"(setq v\r\n(quote\n(a\rb)))")), "T ");
  EXPECT_EQ(Value("v"), "(a b )");
  // A comment may hold parentheses; a ";" ends a symbol.
  EXPECT_EQ(Load(Source(u"(setq v (quote (x;)(\r\n)))")), "T ");
  EXPECT_EQ(Value("v"), "(x )");
  // Tabs are symbol characters.
  EXPECT_EQ(Load(Source(u"(setq v (quote (f\tx\t(y))))")), "T ");
  EXPECT_EQ(Value("(car v)"), "f\tx\t ");
  EXPECT_EQ(Value("v"), "(f\tx\t (y ))");
}

TEST_F(LoaderTest, AnExpressionHoldsAtMostThreeThousandNineHundredNinetyEight) {
  // Counted after comments are dropped, each CR and LF as one blank.
  const std::u16string head = u"(setq v (quote";
  for (size_t n : {3980u, 3981u}) {
    std::u16string text =
        head + u"\r\n" + std::u16string(n, u'a') + u"; not counted\n))";
    const bool fits = head.size() + 2 + n + 2 == 3998;
    EXPECT_EQ(Load(Source(text)), fits ? "T " : "<failed>") << n;
    if (fits) {
      EXPECT_TRUE(Messages().empty());
      EXPECT_EQ(Value("v"), std::string(n, 'a') + " ");
    } else {
      EXPECT_EQ(Messages(), Only("S式が長すぎます。関数に分割して下さい。"));
    }
  }
  // The quote expansion has its own limit on the text read.
  std::u16string quoted = u"(setq w '" + std::u16string(3988, u'b') + u")";
  ASSERT_EQ(quoted.size(), 3998u);
  EXPECT_EQ(Load(Source(quoted)), "<failed>");
  EXPECT_EQ(Messages(), Only("Ｓ式が長すぎます"));
}

TEST_F(LoaderTest, AFailurePartWayKeepsWhatWasDone) {
  EXPECT_EQ(Load(Source(u"(setq e1 1)\r\n(defun e2 () 2)\r\n(car 5)\r\n"
                        u"(setq e4 4)\r\n")),
            "<failed>");
  EXPECT_EQ(Messages(), Only("文法エラー"));
  EXPECT_EQ(Value("(list e1 (e2))"), "(1.000000 2.000000 )");
  EXPECT_EQ(Value("e4"), "<failed>");
  Messages();
  // A NUL ends the text the reader sees.
  std::u16string nul = u"(setq n1 1)(setq n2 (quote (a";
  nul += char16_t(0);
  nul += u"b)))";
  EXPECT_EQ(Load(Source(nul)), "<failed>");
  EXPECT_EQ(Messages(), Only("右括弧が足りません"));
  EXPECT_EQ(Value("n1"), "1.000000 ");
}

TEST_F(LoaderTest, TheNameHoldsAtMostTwoHundredFiftyOneUnits) {
  s.host.titles.clear();
  EXPECT_EQ(s.Run(std::string("(load 'missing)")), "<failed>");
  EXPECT_EQ(s.host.titles,
            std::vector<std::string>{"missing.LSPを読み込みます"});
  EXPECT_EQ(Messages(), Only("ファイルを開くことができません"));

  const std::string longest(251, 'n');
  s.host.files[FromUtf8(longest + ".LSP")] = Source(u"(setq far 1)");
  s.host.files[FromUtf8(longest + "n.LSP")] = Source(u"(setq far 2)");
  s.host.titles.clear();
  EXPECT_EQ(s.Run("(load '" + longest + ")"), "T ");
  EXPECT_EQ(s.host.titles.front(), longest + ".LSPを読み込みます");
  s.host.titles.clear();
  EXPECT_EQ(s.Run("(load '" + longest + "n)"), "<failed>");
  EXPECT_TRUE(s.host.titles.empty());
  EXPECT_EQ(Messages(), Only("ファイルを開くことができません"));
  EXPECT_EQ(Value("far"), "1.000000 ");
}

}  // namespace
}  // namespace vex::coretest
