// The reader: quote expansion and its length limit, the order in which the
// Cells of a text are made and pushed, and the balance of the root stacks
// after runs that succeed and runs that fail.
#include "reader/reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/utf.h"
#include "memory/memory.h"
#include "tests/test_host.h"

namespace vex::coretest {
namespace {

struct Expansion {
  const char* text;
  const char* expanded;
};

TEST(ExpandQuotes, EachQuoteWrapsTheExpressionAfterIt) {
  const Expansion cases[] = {
      {"''x", "(quote (quote x))"},
      {"(f '(a 'b))", "(f (quote (a (quote b))))"},
      // An apostrophe is no delimiter: the first quotation runs on.
      {"'a'b", "(quote a(quote b))"},
      // An empty quotation ends where the next group begins.
      {"'a'(b)", "(quote a(quote ))(b)"},
      {"(f ')", "(f (quote ))"},
      {"'", "(quote )"},
      {"(f ' '(a))", "(f (quote  (quote ))(a))"},
      {"'  (x) y", "(quote   (x)) y"},
      {"'a)b", "(quote a))b"},
      // Groups left open end at the end of the text.
      {"'(a b", "(quote (a b)"},
      {"'(a '(b", "(quote (a (quote (b))"},
      {"(a b)", "(a b)"},
  };
  for (const Expansion& c : cases) {
    CoreHost host;
    Interp in(host);
    std::u16string text = FromUtf8(c.text);
    EXPECT_TRUE(ExpandQuotes(in, text)) << c.text;
    EXPECT_EQ(ToUtf8(text), c.expanded) << c.text;
    EXPECT_TRUE(host.messages.empty()) << c.text;
  }
}

TEST(ExpandQuotes,
     TheExpandedTextStaysWithinThreeThousandNineHundredNinetyEight) {
  // Each apostrophe costs seven units.
  const struct {
    size_t length;
    int quotes;
    bool fits;
  } cases[] = {{3998, 0, true},  {3999, 0, false}, {3991, 1, true},
               {3992, 1, false}, {3984, 2, true},  {3985, 2, false}};
  for (const auto& c : cases) {
    CoreHost host;
    Interp in(host);
    std::u16string text(c.length - size_t(c.quotes), u'a');
    for (int q = 0; q < c.quotes; ++q) text.insert(text.begin(), u'\'');
    EXPECT_EQ(ExpandQuotes(in, text), c.fits) << c.length << " " << c.quotes;
    if (c.fits) {
      EXPECT_EQ(text.size(), c.length + 7 * size_t(c.quotes));
      EXPECT_TRUE(host.messages.empty());
    } else {
      EXPECT_EQ(host.messages,
                std::vector<std::string>{"エラー: Ｓ式が長すぎます"});
    }
  }
}

class ReaderTest : public testing::Test {
 protected:
  // The CellStack entries pushed since mark.
  std::vector<Ref> PushedSince(uint32_t mark) {
    Interp& in = s.in();
    return std::vector<Ref>(in.cellStack + mark, in.cellStack + in.cellTop);
  }
  Session s;
};

// Each list Cell is taken before its element is read and pushed after every
// Cell of its elements; numbers are pushed, symbols are not.
TEST_F(ReaderTest, CellsArePushedElementsFirstAndTheHeadLast) {
  Interp& in = s.in();
  uint32_t mark = in.cellTop;
  Ref head = ParseText(in, u" (a (1 b) 2)");
  ASSERT_NE(head, ERROR_VALUE);
  Ref c1 = head, c2 = Cdr(in, c1), c3 = Car(in, c2), n1 = Car(in, c3),
      c4 = Cdr(in, c3), c5 = Cdr(in, c2), n2 = Car(in, c5);
  EXPECT_EQ(PushedSince(mark), (std::vector<Ref>{n1, c4, c3, n2, c5, c2, c1}));
  // Taken in reading order: c1, a, c2, c3, 1, c4, b, c5, 2.
  Ref a = Car(in, c1), b = Car(in, c4);
  EXPECT_EQ((std::vector<Ref>{c1, a, c2, c3, n1, c4, b, c5, n2}),
            (std::vector<Ref>{c1, c1 + 1, c1 + 2, c1 + 3, c1 + 4, c1 + 5,
                              c1 + 6, c1 + 7, c1 + 8}));
  EXPECT_EQ(Cdr(in, c4), in.NIL);
  EXPECT_EQ(Cdr(in, c5), in.NIL);

  // A lone number is pushed; a lone symbol and () push nothing.
  mark = in.cellTop;
  Ref n = ParseText(in, u"12abc");
  EXPECT_EQ(PushedSince(mark), std::vector<Ref>{n});
  mark = in.cellTop;
  EXPECT_TRUE(IsSymbol(in, ParseText(in, u"abc")));
  EXPECT_EQ(ParseText(in, u"(  )"), in.NIL);
  EXPECT_EQ(in.cellTop, mark);
  // (()) holds the NIL Cell itself.
  EXPECT_EQ(Car(in, ParseText(in, u"(())")), in.NIL);
}

TEST_F(ReaderTest, AnUnclosedQuotationFailsWithOneMessage) {
  Interp& in = s.in();
  for (const char* typed : {"'(a b", "'(a '(b", "(quote (a", "'(a (b c) (d"}) {
    std::u16string text = FromUtf8(typed);
    ASSERT_TRUE(ExpandQuotes(in, text));
    EXPECT_EQ(ParseText(in, text), ERROR_VALUE) << typed;
    EXPECT_EQ(s.TakeMessages(),
              std::vector<std::string>{"エラー: 右括弧が足りません"})
        << typed;
  }
}

TEST_F(ReaderTest, TheStacksAreBalancedAfterEveryRun) {
  Interp& in = s.in();
  std::string half = "\xFF\xFE";
  for (char c : std::string("(setq w 1)(car)")) half += {c, '\0'};
  s.host.files[u"half.LSP"] = half;
  const char* setup[] = {
      "(defun deep (n) (cond ((= n 0) (car 'x)) (T (list (deep (- n 1))))))",
      "(defun ok (n) (cond ((= n 0) 'done) (T (car (list (ok (- n 1)))))))",
      "(defun wide (a b c) (list a b c))",
  };
  for (const char* text : setup) ASSERT_EQ(s.Run(std::string(text)), "T ");
  const uint32_t cells = in.cellTop, locals = in.localTop,
                 bindings = in.bindingTop;
  ASSERT_EQ(cells, 1u);
  const char* runs[] = {
      "(ok 50)",
      "(deep 50)",
      "(funcall 'deep 3)",
      "(apply 'deep '(3))",
      "(funcall '(lambda (x) (deep x)) 4)",
      "(wide 1 2 (deep 2))",
      "(wide 1 2 3 4)",
      "(wide 1 (car 'x))",
      "(list (load 'half) 1)",
      "(load 'missing)",
      "'(a b",
      "(a))",
      "(progn (setq i 0) (loop ((= i 100) i) (setq i (+ i 1)) (ok 2)))",
      "(cons (wide 1 2 3) (ok 3))",
  };
  for (const char* text : runs) {
    s.Run(std::string(text));
    EXPECT_EQ(in.cellTop, cells) << text;
    EXPECT_EQ(in.localTop, locals) << text;
    EXPECT_EQ(in.bindingTop, bindings) << text;
  }
  EXPECT_EQ(s.Run(std::string("(list (ok 1) w i)")),
            "(done 1.000000 100.000000 )");
}

TEST_F(ReaderTest, ACallFindingTheBindingArenaFullFailsAndTheNextRunWorks) {
  Interp& in = s.in();
  ASSERT_EQ(s.Run(std::string("(defun wide (a b c) (list a b c))")), "T ");
  ASSERT_EQ(s.Run(std::string("(defun none () 'ok)")), "T ");
  s.TakeMessages();
  // A call needs one Binding for its definition and one per parameter:
  // three left are too few for wide, none left too few even for none, also
  // when wide has just taken the last four.
  const uint32_t full = BINDING_ARENA_CAPACITY;
  const struct {
    uint32_t top;
    const char* text;
  } cases[] = {{full - 3, "(wide 1 2 3)"},
               {full, "(none)"},
               {full - 4, "(wide 1 2 (none))"}};
  for (const auto& c : cases) {
    in.bindingTop = c.top;
    const uint32_t cells = in.cellTop, locals = in.localTop;
    s.Run(std::string(c.text));
    EXPECT_EQ(s.TakeMessages(),
              std::vector<std::string>{
                  "エラー: ローカル変数領域の確保に失敗しました"})
        << c.text;
    EXPECT_FALSE(in.closing) << c.text;
    EXPECT_EQ(in.bindingTop, c.top) << c.text;
    EXPECT_EQ(in.cellTop, cells) << c.text;
    EXPECT_EQ(in.localTop, locals) << c.text;
  }
  in.bindingTop = full - 4;
  EXPECT_EQ(s.Run(std::string("(wide 1 2 3)")),
            "(1.000000 2.000000 3.000000 )");
  in.bindingTop = full - 5;
  EXPECT_EQ(s.Run(std::string("(wide 1 2 (none))")), "(1.000000 2.000000 ok )");
  EXPECT_EQ(in.bindingTop, full - 5);
  in.bindingTop = 0;
}

// A function's calls poll for an interrupt: an endless run of calls that
// never nests deep ends at a spent step budget, and the next run works.
TEST_F(ReaderTest, AStepBudgetEndsAWideRunOfCalls) {
  Interp& in = s.in();
  ASSERT_EQ(s.Run(std::string("(defun fib (n) (cond ((minusp (- n 2)) n)"
                              " (T (+ (fib (- n 1)) (fib (- n 2))))))")),
            "T ");
  in.stepBudget = 100 * INTERRUPT_INTERVAL;
  EXPECT_EQ(s.Run(std::string("(fib 60)")), "<failed>");
  EXPECT_EQ(s.TakeMessages(),
            std::vector<std::string>{"エラー: 実行を中断しました"});
  in.stepBudget = -1;
  EXPECT_EQ(s.Run(std::string("(fib 10)")), "55.000000 ");
}

}  // namespace
}  // namespace vex::coretest
