// The collector where a transcript cannot reach it: structure too deep or
// large to type, a stopped run, areas nearly full, a step budget. (Its
// counts are in tests/e2e/collector.vx; the stress build poisons what every
// collection frees, which shows a value used after a collection that did
// not see it.)
#include <gtest/gtest.h>

#include "eval/eval.h"
#include "memory/memory.h"
#include "tests/test_host.h"

namespace vex::test {
namespace {

class Collector : public testing::Test {
 protected:
  Lines Reports() { return s.host.Take("title: gc: "); }
  static std::string Report(int cells) {
    return "使用中のセル数は " + std::to_string(cells) +
           " 使用中の数値の数は 0  ";
  }
  Ref Global(std::u16string_view name, Ref value) {
    return in.globals[FindOrAddGlobal(in, InternName(in, name))].value = value;
  }

  Session s;
  Interp& in = s.in;
};

// Marking and printing walk a million levels without nesting as deep; the
// print stops at its limit.
TEST_F(Collector, MarksAndPrintsAMillionLevelsOfCars) {
  Ref deep = in.NIL;
  for (int k = 0; k < 1000000; ++k) deep = MakeList(in, deep, in.NIL);
  Global(u"deep", deep);
  Collect(in);
  EXPECT_EQ(Reports(), Lines{Report(1000002)});
  EXPECT_EQ(s.Run("deep"), std::string(29998, '('));
  Global(u"deep", in.NIL);
  Collect(in);
  EXPECT_EQ(Reports(), Lines{Report(2)});
  // A circle prints "a b a b ...", two units an element, to the limit.
  s.Run("(progn (setq c (list 'a 'b)) (setf (cdr (cdr c)) c) T)");
  std::string circle = "(";
  while (circle.size() + 2 < size_t(PRINT_LIMIT))
    circle += circle.size() % 4 == 1 ? "a " : "b ";
  EXPECT_EQ(s.Run("c"), circle);
}

// A run being stopped gives a long marking up: nothing is freed, the next
// safe point reclaims, and a later collection counts exactly.
TEST_F(Collector, AStoppedRunGivesALongMarkingUp) {
  Ref chain = in.NIL;
  for (int k = 0; k < 3000000; ++k) chain = MakeList(in, in.NIL, chain);
  Global(u"chain", chain);
  in.interruptRequested = true;
  EXPECT_FALSE(Reclaim(in));
  EXPECT_TRUE(ReclaimDue(in));
  in.interruptRequested = false;
  Collect(in);
  EXPECT_EQ(Reports(), Lines{Report(3000002)});
  EXPECT_EQ(ListLength(in, chain), 3000000);
}

// A body read into nodes once: the collection that frees its Cells
// retires the nodes read from them, before the Cells are handed out again;
// one that frees none retires nothing.
TEST_F(Collector, ADefinitionReadIntoTheCellsOfAFreedOneIsItself) {
  s.Run("(defun f (x) (+ x 1))");
  ASSERT_EQ(s.Run("(f 1)"), "2.000000 ");
  uint32_t epoch = in.codeEpoch;
  s.Run("(gc)");
  EXPECT_EQ(in.codeEpoch, epoch);
  s.Run("(defun f (x) (* x 5))");
  s.Run("(gc)");
  EXPECT_EQ(in.codeEpoch, epoch + 1);
  s.Run("(defun f (x) (- x 7))");  // the same shape takes the same Cells
  EXPECT_EQ(s.Run("(f 1)"), "-6.000000 ");
}

// Named calls alone reclaim as the schedule asks, with no report: a
// recursion that makes three times as many numbers as a reclaim lets be
// made ends with the area far from full.
TEST_F(Collector, CallsAloneReclaimOnSchedule) {
  s.Run(
      "(defun fib (n) (cond ((minusp (- n 2)) n)"
      " (T (+ (fib (- n 1)) (fib (- n 2))))))");
  EXPECT_EQ(s.Run("(fib 23)"), "28657.000000 ");
  EXPECT_GT(FreeNumbers(in), NUMBER_CAPACITY - 2 * RECLAIM_NUMBERS);
  EXPECT_EQ(Reports(), Lines{});
}

// Only a named call collects, and only when fewer than 1,000 Cells or
// numbers are free (the areas made to look nearly full, no reclaim due).
TEST_F(Collector, ANamedCallCollectsWhenCellsOrNumbersRunLow) {
  s.Run("(defun one () 1)");
  const struct {
    int32_t cells, numbers;
    const char* run;
    size_t collections;
  } rows[] = {
      {GC_THRESHOLD + 2, NUMBER_CAPACITY, "(one)", 0},  // reading: 2
      {GC_THRESHOLD - 1, NUMBER_CAPACITY, "(funcall '(lambda () 1))", 0},
      {GC_THRESHOLD - 1, NUMBER_CAPACITY, "(one)", 1},
      {CELL_CAPACITY - 100, GC_THRESHOLD - 1, "(funcall 'one)", 1}};
  for (const auto& row : rows) {
    SetFreeCells(in, row.cells);
    SetFreeNumbers(in, row.numbers);
    SetReclaimPoints(in, 0, 0);
    ResetAllocationLimits(in);
    EXPECT_EQ(s.Run(row.run), "1.000000 ");
    EXPECT_EQ(Reports().size(), row.collections) << row.run;
  }
}

// A run with a step budget (as the fuzzers give) pays for each collection's
// passes over the areas, so a loop of collections over a large area ends
// about as soon as a loop of evaluations would.
TEST_F(Collector, AStepBudgetPaysForCollections) {
  s.Run(
      "(progn (setq i 0) (setq l NIL)"
      " (loop ((= i 64000) T) (setq l (cons i l)) (setq i (+ i 1))))");
  s.budget = 200 * INTERRUPT_INTERVAL;
  EXPECT_EQ(s.Run("(loop (gc))"), "ERROR");
  size_t collections = Reports().size();
  EXPECT_GE(collections, 1u);
  EXPECT_LT(collections, 200u);
  EXPECT_EQ(s.host.Take("message: "), Lines{"エラー: 実行を中断しました"});
  s.budget = -1;
  EXPECT_EQ(s.Run("(car l)"), "63999.000000 ");
}

}  // namespace
}  // namespace vex::test
