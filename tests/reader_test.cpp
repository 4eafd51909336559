// The reader and the loader: quote expansion and its length limit, and
// source files byte by byte.
#include "reader/reader.h"

#include <gtest/gtest.h>

#include "console/utf.h"
#include "tests/test_host.h"

namespace vex::test {
namespace {

TEST(Reader, EachQuoteWrapsTheExpressionAfterIt) {
  const struct {
    const char *text, *expanded;
  } rows[] = {
      {"''x", "(quote (quote x))"},
      {"(f '(a 'b))", "(f (quote (a (quote b))))"},
      // An apostrophe is no delimiter: the first quotation runs on.
      {"'a'b", "(quote a(quote b))"},
      // An empty quotation ends where the next group begins.
      {"'a'(b)", "(quote a(quote ))(b)"},
      {"(f ')", "(f (quote ))"},
      {"(f ' '(a))", "(f (quote  (quote ))(a))"},
      {"'  (x) y", "(quote   (x)) y"},
      {"'a)b", "(quote a))b"},
      // Groups left open end at the end of the text.
      {"'(a '(b", "(quote (a (quote (b))"},
  };
  Session s;
  for (const auto& row : rows) {
    std::u16string text = FromUtf8(row.text);
    EXPECT_TRUE(ExpandQuotes(s.in, text)) << row.text;
    EXPECT_EQ(ToUtf8(text), row.expanded) << row.text;
  }
  EXPECT_TRUE(s.host.events.empty());
}

TEST(Reader, TheExpandedTextStaysWithinThreeThousandNineHundredNinetyEight) {
  // Each apostrophe costs seven units.
  const struct {
    size_t length;
    int quotes;
    bool fits;
  } rows[] = {{3998, 0, true},  {3999, 0, false}, {3991, 1, true},
              {3992, 1, false}, {3984, 2, true},  {3985, 2, false}};
  for (const auto& row : rows) {
    Session s;
    std::u16string text(row.length - size_t(row.quotes), u'a');
    text.insert(0, size_t(row.quotes), u'\'');
    EXPECT_EQ(ExpandQuotes(s.in, text), row.fits) << row.length;
    EXPECT_EQ(s.host.events,
              row.fits ? Lines{} : Lines{"message: エラー: Ｓ式が長すぎます"});
  }
}

std::string Message(const std::string& text) {
  return "message: エラー: " + text;
}

std::string Value(const std::string& printed) {
  return "title: Vexilon - " + printed;
}

// Each row loads prog.LSP holding its bytes, then runs its checks; the
// transcript after the loader's title must be the row's.
TEST(Loader, ReadsSourceFilesExpressionByExpression) {
  const std::string notUnicode = Message("unicodeのファイルではありません");
  const std::string noClose = Message(")がありません");
  const std::string unbound = Message("その変数には代入されていません");
  std::string bigEndian = "\xFE\xFF";
  for (char c : std::string("(setq v 1)")) bigEndian += {'\0', c};
  std::u16string nul = u"(setq n1 1)(setq n2 (quote (a";
  nul += char16_t(0);
  nul += u"b)))";
  const std::u16string head = u"(setq v (quote\r\n";
  const struct {
    std::string bytes;
    std::vector<const char*> checks;
    Lines transcript;
  } rows[] = {
      // Only UTF-16LE with its byte-order mark.
      {"", {"v"}, {notUnicode, unbound}},
      {"\xFF", {}, {notUnicode}},
      {bigEndian, {}, {notUnicode}},
      {SourceBytes(u"(setq v 1)").substr(2), {}, {notUnicode}},
      {"\xEF\xBB\xBF(setq v 1)", {}, {notUnicode}},
      {SourceBytes(u""), {}, {Value("T ")}},
      {SourceBytes(u"; only a comment\r\n;(car 5)\r\n; no line end"),
       {},
       {Value("T ")}},
      // Between expressions only parentheses and comments count.
      {SourceBytes(u"x 123 'q (setq v 1)\r\n; (car 5)\r\n(setq w v)"),
       {"w"},
       {Value("T "), Value("1.000000 ")}},
      {SourceBytes(u"(setq v 2) '(undefined-fn)"),
       {"v"},
       {Message("未定義の関数です"), Value("2.000000 ")}},
      {SourceBytes(u"(setq s1 1) ) (setq s2 2)"),
       {"s1", "s2"},
       {Message(")が多すぎます"), Value("1.000000 "), unbound}},
      // The file ends inside an expression; a last odd byte is no unit.
      {SourceBytes(u"(setq v 1"), {"v"}, {noClose, unbound}},
      {SourceBytes(u"(setq v (quote (a b))"), {}, {noClose}},
      {SourceBytes(u"(setq v 1 ; no line end"), {}, {noClose}},
      {SourceBytes(u"(setq v 1 ; comment\r\n"), {}, {noClose}},
      {SourceBytes(u"(setq v 1)") + "(",
       {"v"},
       {Value("T "), Value("1.000000 ")}},
      {SourceBytes(u"(setq v 2") + ")", {}, {noClose}},
      // After a comment CR LF is a blank and a lone line end joins; a
      // comment may hold parentheses; a tab is a symbol character.
      {SourceBytes(u"(setq v (quote (a ; note\r\nb)))"),
       {"v"},
       {Value("T "), Value("(a b )")}},
      {SourceBytes(u"(setq v (quote (a;note\nb)))"),
       {"v"},
       {Value("T "), Value("(ab )")}},
      {SourceBytes(u"(setq v (quote (a;note\rb)))"),
       {"v"},
       {Value("T "), Value("(ab )")}},
      {SourceBytes(u"(setq v\r\n(quote\n(a\rb)))"),
       {"v"},
       {Value("T "), Value("(a b )")}},
      {SourceBytes(u"(setq v (quote (x;)(\r\n)))"),
       {"v"},
       {Value("T "), Value("(x )")}},
      {SourceBytes(u"(setq v (quote (f\tx\t(y))))"),
       {"v"},
       {Value("T "), Value("(f\tx\t (y ))")}},
      // 3,998 units at most, after comments, each CR and LF one blank;
      // the quote expansion has its own limit.
      {SourceBytes(head + std::u16string(3980, u'a') + u"; not counted\n))"),
       {"v"},
       {Value("T "), Value(std::string(3980, 'a') + " ")}},
      {SourceBytes(head + std::u16string(3981, u'a') + u"))"),
       {},
       {Message("S式が長すぎます。関数に分割して下さい。")}},
      {SourceBytes(u"(setq w '" + std::u16string(3988, u'b') + u")"),
       {},
       {Message("Ｓ式が長すぎます")}},
      // A failure part way keeps what was done; a NUL ends the text.
      {SourceBytes(u"(setq e1 1)\r\n(defun e2 () 2)\r\n(car 5)\r\n(setq e4 4)"),
       {"(list e1 (e2))", "e4"},
       {Message("文法エラー"), Value("(1.000000 2.000000 )"), unbound}},
      {SourceBytes(nul),
       {"n1"},
       {Message("右括弧が足りません"), Value("1.000000 ")}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& row = rows[i];
    Session s;
    s.host.files[u"prog.LSP"] = row.bytes;
    s.Run("(load 'prog)");
    for (const char* check : row.checks) s.Run(check);
    EXPECT_EQ(s.host.Take("title: prog.LSPを読み込みます"), Lines{""});
    EXPECT_EQ(s.host.events, row.transcript) << "row " << i;
  }
}

}  // namespace
}  // namespace vex::test
