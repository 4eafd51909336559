// The evaluator's bookkeeping that no transcript shows: the binding arena
// after calls that succeed and calls that fail, and the step budget. (The
// eval fuzz target checks that both root stacks are back where they were
// after every run.)
#include <gtest/gtest.h>

#include "tests/test_host.h"

namespace vex::test {
namespace {

// A call needs one Binding for its definition and one per parameter; one
// that finds too few fails alone, and the next call works.
TEST(Eval, ACallFindingTheBindingArenaFullFailsAndTheNextRunWorks) {
  Session s;
  ASSERT_EQ(s.Run("(defun wide (a b c) (list a b c))"), "T ");
  s.in.bindingTop = BINDING_ARENA_CAPACITY - 3;
  EXPECT_EQ(s.Run("(list 'x (wide 1 2 3))"), "ERROR");
  EXPECT_EQ(s.host.Take("message: "),
            Lines{"エラー: ローカル変数領域の確保に失敗しました"});
  EXPECT_EQ(s.in.bindingTop, uint32_t(BINDING_ARENA_CAPACITY - 3));
  EXPECT_EQ(s.in.localTop, 0u);
  s.in.bindingTop = BINDING_ARENA_CAPACITY - 4;
  EXPECT_EQ(s.Run("(wide 1 2 3)"), "(1.000000 2.000000 3.000000 )");
  EXPECT_FALSE(s.in.closing);
}

// A function's calls count as steps: an endless run of calls that never
// nests deep ends at a spent budget, and the next run has none.
TEST(Eval, AStepBudgetEndsAWideRunOfCalls) {
  Session s;
  ASSERT_EQ(s.Run("(defun fib (n) (cond ((minusp (- n 2)) n)"
                  " (T (+ (fib (- n 1)) (fib (- n 2))))))"),
            "T ");
  s.budget = 100 * INTERRUPT_INTERVAL;
  EXPECT_EQ(s.Run("(fib 60)"), "ERROR");
  EXPECT_EQ(s.host.Take("message: "), Lines{"エラー: 実行を中断しました"});
  s.budget = -1;
  EXPECT_EQ(s.Run("(fib 10)"), "55.000000 ");
}

}  // namespace
}  // namespace vex::test
