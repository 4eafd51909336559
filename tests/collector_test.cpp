// The collector: its counts and title line, what survives and what is
// freed, deep and circular structure, and collections in the middle of
// calls.
//
// Every collection here poisons what it freed: each free Cell becomes the
// symbol "<freed>" and each free number -12345. A value the evaluator still
// uses after a collection that did not see it then shows at once, instead
// of only after the allocator happens to hand its Cells out again.
#include <gtest/gtest.h>

#include <string>

#include "console/utf.h"
#include "driver/run.h"
#include "eval/eval.h"
#include "memory/memory.h"
#include "reader/reader.h"
#include "tests/test_host.h"

namespace vex::coretest {
namespace {

class PoisonHost : public CoreHost {
 public:
  void SetTitle(std::u16string_view text) override {
    CoreHost::SetTitle(text);
    if (in == nullptr || text.substr(0, 3) != u"gc:") return;
    ++collections;
    localTopAtCollection = in->localTop;
    for (uint32_t i = 1; i <= in->cellHigh; ++i) {
      Cell& c = in->cells[i];
      if (c.mark != MARK_USED) c = Cell{TAG_SYMBOL, c.mark, poison, poison};
    }
    for (uint32_t i = 0; i < in->numberHigh; ++i)
      if (in->numbers[i].mark != MARK_USED) in->numbers[i].value = -12345;
  }
  Interp* in = nullptr;
  NameRef poison = 0;
  int collections = 0;
  uint32_t localTopAtCollection = 0;
};

class CollectorTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitMemory(in));
    ASSERT_TRUE(PushCell(in, ERROR_VALUE));  // the start-up marker
    host.poison = InternName(in, u"<freed>");
    host.in = &in;
  }
  // A typed program: its printed value, or "<failed>".
  std::string Run(const std::string& text) {
    SetStackGuard(in, size_t(4) << 20);
    Ref program = ERROR_VALUE;
    if (PrepareRun(in, FromUtf8(text), program) != Prepared::Ready)
      return "<failed>";
    if (ExecuteRun(in, program) == ERROR_VALUE) return "<failed>";
    return ToUtf8(std::u16string_view(in.PrintBuffer).substr(10));
  }
  // Pretends the areas hold only so many free elements, with no reclaim
  // due before they run out: only a nearly full area makes a named call
  // collect.
  void SetFree(int32_t cells, int32_t numbers) {
    in.FreeCells = cells;
    in.FreeNumbers = numbers;
    in.reclaimCells = in.reclaimNumbers = 0;
    ResetAllocationLimits(in);
  }
  static std::string GcLine(int cells, int numbers) {
    return "gc: 使用中のセル数は " + std::to_string(cells) +
           " 使用中の数値の数は " + std::to_string(numbers) + "  ";
  }

  PoisonHost host;
  Interp in{host};
};

TEST_F(CollectorTest, CountsWhatIsReachableAndShowsIt) {
  // NIL, T, and the program (gc): its list Cell and its symbol.
  EXPECT_EQ(Run("(gc)"), "T ");
  EXPECT_EQ(host.titles[host.titles.size() - 2], GcLine(4, 0));
  EXPECT_EQ(in.FreeCells, CELL_CAPACITY - 4);
  EXPECT_EQ(in.FreeNumbers, NUMBER_CAPACITY);
  // Three list Cells and progn, two for each (gc); the last run is garbage.
  host.titles.clear();
  EXPECT_EQ(Run("(progn (gc) (gc))"), "T ");
  ASSERT_EQ(host.titles.size(), 3u);
  EXPECT_EQ(host.titles[0], GcLine(10, 0));
  EXPECT_EQ(host.titles[1], GcLine(10, 0));
  EXPECT_EQ(host.titles[2], "Vexilon - T ");
}

TEST_F(CollectorTest, GlobalsAndDefinitionsSurviveAndGarbageIsFreed) {
  EXPECT_EQ(Run("(setq keep (list 1 2 3))"), "(1.000000 2.000000 3.000000 )");
  EXPECT_EQ(Run("(defun kf () '(a b))"), "T ");
  EXPECT_EQ(Run("(list 4 5 6 (list 7))"),
            "(4.000000 5.000000 6.000000 (7.000000 ))");
  // keep: three list and three number Cells; kf: (() (quote (a b))), nine
  // Cells; NIL, T and the running (gc).
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(Run("(gc)"), "T ");
    EXPECT_EQ(host.titles[host.titles.size() - 2], GcLine(19, 3));
  }
  EXPECT_EQ(Run("keep"), "(1.000000 2.000000 3.000000 )");
  EXPECT_EQ(Run("(kf)"), "(a b )");
}

TEST_F(CollectorTest, CircularListsAreKeptAndCollected) {
  EXPECT_EQ(Run("(setq c (list 'x 'y))"), "(x y )");
  EXPECT_EQ(Run("(progn (setf (cdr (cdr c)) c) (setf (car c) c) 'made)"),
            "made ");
  EXPECT_EQ(Run("(progn (gc) (car (cdr (cdr (cdr c)))))"), "y ");
  EXPECT_EQ(Run("(eq c (car (car (car c))))"), "T ");
  // Once unreferenced the circle is freed: what is left is NIL, T and the
  // program, three list Cells, progn, (setq c NIL) and (gc).
  EXPECT_EQ(Run("(progn (setq c NIL) (gc))"), "T ");
  EXPECT_EQ(host.titles[host.titles.size() - 2], GcLine(14, 0));
}

TEST_F(CollectorTest, MarksAMillionLevelsOfCars) {
  Ref deep = in.NIL;
  for (int k = 0; k < 1000000; ++k) deep = MakeList(in, deep, in.NIL);
  int32_t g = FindOrAddGlobal(in, InternName(in, u"deep"));
  ASSERT_GE(g, 0);
  in.globals[g].value = deep;
  Collect(in);
  EXPECT_EQ(host.titles.back(), GcLine(1000002, 0));
  int depth = 0;
  for (Ref x = deep; IsList(in, x); x = Car(in, x)) ++depth;
  EXPECT_EQ(depth, 1000000);
  in.globals[g].value = in.NIL;
  Collect(in);
  EXPECT_EQ(host.titles.back(), GcLine(2, 0));
}

// A run being stopped gives a long marking up: nothing is freed, the next
// safe point reclaims, and a later collection counts exactly.
TEST_F(CollectorTest, AStoppedRunGivesALongMarkingUp) {
  Ref chain = in.NIL;
  for (int k = 0; k < 3000000; ++k) chain = MakeList(in, in.NIL, chain);
  int32_t g = FindOrAddGlobal(in, InternName(in, u"chain"));
  ASSERT_GE(g, 0);
  in.globals[g].value = chain;
  in.interruptRequested = true;
  EXPECT_FALSE(Reclaim(in));
  EXPECT_TRUE(ReclaimDue(in));
  in.interruptRequested = false;
  Collect(in);
  EXPECT_EQ(host.titles.back(), GcLine(3000002, 0));
  EXPECT_EQ(ListLength(in, chain), 3000000);
}

TEST_F(CollectorTest, ValuesInUseSurviveACollectionInsideACall) {
  ASSERT_EQ(Run("(defun force () (gc) NIL)"), "T ");
  ASSERT_EQ(Run("(defun keepargs (a b) (force) (setq b (cdr b)) (force)"
                " (list a b))"),
            "T ");
  EXPECT_EQ(Run("(keepargs (list 1 2) (cons 'x (list 'y 'z)))"),
            "((1.000000 2.000000 )(y z ))");
  // Built-ins holding a half-made result while a later argument collects.
  EXPECT_EQ(Run("(list (list 1 2) (force) (cons 3 (progn (force) '(4))))"),
            "((1.000000 2.000000 )NIL (3.000000 4.000000 ))");
  EXPECT_EQ(Run("(cons (list 'a 'b) (progn (force) 'z))"), "((a b ). z )");
  EXPECT_EQ(Run("(+ (car (list 1)) (progn (force) 2) (car (list 3)))"),
            "6.000000 ");
  // Function values made at run time, called through funcall and apply.
  EXPECT_EQ(Run("(funcall (list 'lambda '(x) '(force) 'x) (list 5))"),
            "(5.000000 )");
  EXPECT_EQ(Run("(apply (list 'lambda '(x y) '(force) '(list x y))"
                " (list 1 (list 2)))"),
            "(1.000000 (2.000000 ))");
  EXPECT_EQ(Run("(funcall 'keepargs (progn (force) (list 6)) (list 7 8))"),
            "((6.000000 )(8.000000 ))");
  EXPECT_EQ(Run("(apply 'keepargs (list (list 9) (list 'p 'q)))"),
            "((9.000000 )(q ))");
  // Hash tables and setf places hold their parts while a key collects.
  EXPECT_EQ(Run("(progn (setq h (make-hash-table))"
                " (setf (gethash (progn (force) 'k) h) (list 1)) h)"),
            "(#hash-table eq (k 1.000000 ))");
  EXPECT_GE(host.collections, 10);
}

TEST_F(CollectorTest, ARunningDefinitionSurvivesItsReplacement) {
  ASSERT_EQ(Run("(defun force () (gc) NIL)"), "T ");
  ASSERT_EQ(Run("(defun self () (defun self () 'new) (force) (list 'old))"),
            "T ");
  EXPECT_EQ(Run("(self)"), "(old )");
  EXPECT_EQ(Run("(self)"), "new ");
}

// A function body is read into nodes once; Cells handed out again after a
// collection retire the nodes read from them.
TEST_F(CollectorTest, ADefinitionReadIntoTheCellsOfAFreedOneIsItself) {
  ASSERT_EQ(Run("(defun f (x) (+ x 1))"), "T ");
  ASSERT_EQ(Run("(f 1)"), "2.000000 ");
  ASSERT_EQ(Run("(defun f (x) (* x 5))"), "T ");
  ASSERT_EQ(Run("(gc)"), "T ");
  // Read after the collection, the same shape takes the same Cells.
  ASSERT_EQ(Run("(defun f (x) (- x 7))"), "T ");
  EXPECT_EQ(Run("(f 1)"), "-6.000000 ");
}

TEST_F(CollectorTest, ANamedCallCollectsWhenCellsOrNumbersRunLow) {
  ASSERT_EQ(Run("(defun one () 1)"), "T ");
  SetFree(GC_THRESHOLD + 2, NUMBER_CAPACITY);  // reading (one) takes two Cells
  EXPECT_EQ(Run("(one)"), "1.000000 ");
  EXPECT_EQ(host.collections, 0);
  SetFree(GC_THRESHOLD - 1, NUMBER_CAPACITY);
  EXPECT_EQ(Run("(funcall '(lambda () 1))"), "1.000000 ");
  EXPECT_EQ(host.collections, 0);
  EXPECT_EQ(Run("(one)"), "1.000000 ");
  EXPECT_EQ(host.collections, 1);
  SetFree(in.FreeCells, GC_THRESHOLD - 1);
  EXPECT_EQ(Run("(funcall 'one)"), "1.000000 ");
  EXPECT_EQ(host.collections, 2);
  EXPECT_GT(in.FreeNumbers, NUMBER_CAPACITY - 10);
}

// The caller's arguments survive a collection that starts in a nested call.
TEST_F(CollectorTest, ANestedCallCollectsWhileItsCallerRuns) {
  std::string args;
  for (int k = 0; k < 900; ++k) args += " NIL";
  ASSERT_EQ(Run("(defun junk () (list" + args + ") NIL)"), "T ");
  ASSERT_EQ(Run("(defun inner () (list 'inner))"), "T ");
  ASSERT_EQ(Run("(defun outer (a b) (junk) (junk) (junk) (junk) (junk)"
                " (list a (inner) b))"),
            "T ");
  // Some 4,990 free at the call of outer, 490 at the call of inner.
  SetFree(5000, NUMBER_CAPACITY);
  EXPECT_EQ(Run("(outer (list 1 2) (cons 'x 'y))"),
            "((1.000000 2.000000 )(inner )(x . y ))");
  EXPECT_EQ(host.collections, 1);
  // outer's marker and two Bindings, inner's marker.
  EXPECT_EQ(host.localTopAtCollection, 4u);
}

// Some 36 million Cells through named calls: the safe points reclaim the
// garbage and the freed Cells are handed out again.
TEST_F(CollectorTest, AProgramMayAllocateMoreThanTheAreaHolds) {
  // 900 Cells a call stays within the 1,000 kept free for the next check.
  std::string args;
  for (int k = 0; k < 900; ++k) args += " a";
  ASSERT_EQ(Run("(setq a NIL)"), "NIL ");
  ASSERT_EQ(Run("(defun junk () (list" + args + ") NIL)"), "T ");
  ASSERT_EQ(Run("(defun keep (x) (junk) x)"), "T ");
  EXPECT_EQ(Run("(progn (setq i 0) (setq l (list 'first))"
                " (loop ((= i 40000) (list i (car l) (car (cdr l))))"
                " (setq l (keep (cons i l)))"
                " (setq i (+ i 1))))"),
            "(40000.000000 39999.000000 39998.000000 )");
  EXPECT_EQ(in.WrapFlag, 1);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(Run("(car (cdr (cdr (cdr l))))"), "39996.000000 ");
}

// A loop's passes release what they made, and each pass is a safe point
// that reclaims on schedule: four million numbers, more than the number
// area holds, go through a loop at the top level and one in a function,
// without a collection's title, a wrap, or more than a reclaim's worth of
// the area ever touched.
TEST_F(CollectorTest, LoopsRunOnWhatTheyKeep) {
  ASSERT_EQ(Run("(defun cnt (n i) (setq i 0) (loop ((= i n) i)"
                " (setq i (+ i 1))))"),
            "T ");
  EXPECT_EQ(Run("(progn (setq i 0) (loop ((= i 2000000) i)"
                " (setq i (+ i 1))))"),
            "2000000.000000 ");
  EXPECT_EQ(Run("(cnt 2000000)"), "2000000.000000 ");
  EXPECT_EQ(host.collections, 0);
  EXPECT_EQ(in.WrapFlag, 0);
  EXPECT_LT(in.numberHigh, uint32_t(2 * RECLAIM_NUMBERS));
  EXPECT_GT(in.FreeNumbers, NUMBER_CAPACITY - 2 * RECLAIM_NUMBERS);
}

// A run with a step budget (as the fuzzers give) pays for each collection's
// passes over the areas, so a loop of collections over a large area ends
// about as soon as a loop of evaluations would; the next run has no limit.
TEST_F(CollectorTest, AStepBudgetPaysForCollections) {
  ASSERT_EQ(
      Run("(progn (setq i 0) (setq l NIL)"
          " (loop ((= i 64000) T) (setq l (cons i l)) (setq i (+ i 1))))"),
      "T ");
  in.stepBudget = 200 * INTERRUPT_INTERVAL;
  EXPECT_EQ(Run("(loop (gc))"), "<failed>");
  EXPECT_GE(host.collections, 1);
  EXPECT_LT(host.collections, 200);
  EXPECT_EQ(host.messages,
            std::vector<std::string>{"エラー: 実行を中断しました"});
  in.stepBudget = -1;
  EXPECT_EQ(Run("(car l)"), "63999.000000 ");
}

}  // namespace
}  // namespace vex::coretest
