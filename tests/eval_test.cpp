// The step budget the fuzzers give a run. (The eval fuzz target checks that
// both root stacks are back where they were after every run.)
#include <gtest/gtest.h>

#include "tests/test_host.h"

namespace vex::test {
namespace {

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
