// The step budget the fuzzers give a run, and where the two engines stop. (The
// eval fuzz target checks that both root stacks are back where they were after
// every run.)
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

// The decoded engine answers the commonest tests, and car, cdr, cons and
// arithmetic of variables and numbers, in place, and must still stop exactly
// where the evaluator stops: at a spent step budget wherever in a form it
// falls, and at the nesting limit whatever the nesting around the form. The
// count of passes, and the depth and form reached, are compared, not
// written down.
TEST(Eval, BothEnginesStopAtTheSameStepAndDepth) {
  const char* definitions[] = {
      "(defun walk (n l) (loop ((= n 0) c) (setq c (+ c 1)) (setq at 1)"
      " (setq l (cons n l)) (setq at 2) (setq a (car l)) (setq at 3)"
      " (setq l (cdr l)) (setq at 4)"
      " (cond ((null l) (setq l (list 1 2)))"
      " ((null (minusp (- n 3))) (setq l (cdr l)))"
      " ((null (null l)) (setq l (cdr l))) ((= n c) NIL)"
      " ((null (= n 7)) (setq l (cdr l))) (T NIL))"
      " (setq at 5) (setq at (six n)) (setq n (- n 1))))",
      "(defun six (n) (cond ((minusp (- n 2)) 6) (T 6)))",
      "(defun sole (n) (cond ((minusp (- n 0)) 0)"
      " ((progn (setq m n) (null (= n -1))) (+ 1 (sole (+ n 1)))) (T 0)))",
      "(defun deep (n) (setq m n) (setq at 1) (cond ((minusp (- n 0)) 0)"
      " ((progn (setq at 2) (null (= n -1)))"
      " (setq at 3) (+ 1 (deep (+ n 1)))) (T 0)))",
      "(defun deeper (n) (setq m n) (setq at 1)"
      " (cond ((null (minusp (- -1 n))) 0)"
      " ((progn (setq at 2) (null (null n)))"
      " (setq at 3) (+ 1 (deeper (+ n 1)))) (T 0)))",
      "(defun deepest (n l) (setq m n) (setq at 1) (setq l (cons n l))"
      " (setq at 2) (setq a (progn (car l))) (setq at 3)"
      " (cond ((null (progn (cdr l))) (deepest (+ n 1) l))"
      " (T (+ 1 (deepest (+ n 1) l)))))"};
  Session decoded(true), evaluator(false);
  for (Session* s : {&decoded, &evaluator})
    for (const char* d : definitions) ASSERT_EQ(s->Run(d), "T ");
  // Each budget makes the run stop at another step of a pass, which the
  // pass count and the last form that ran tell.
  for (int k = 1; k <= 40; ++k) {
    std::string counts[2];
    for (int e = 0; e < 2; ++e) {
      Session& s = e == 0 ? decoded : evaluator;
      s.budget = int64_t(k) * INTERRUPT_INTERVAL;
      EXPECT_EQ(s.Run("(progn (setq c 0) (walk 100000 NIL))"), "ERROR");
      s.budget = -1;
      counts[e] = s.Run("(list c at)");
      s.host.Take("message: ");
    }
    EXPECT_EQ(counts[0], counts[1]) << "budget " << k;
  }
  // Each wrapping progn puts the nesting limit at another level of a form.
  for (const char* start :
       {"(deep 0)", "(deeper 0)", "(deepest 0 NIL)", "(sole 0)"}) {
    for (int wraps = 0; wraps < 6; ++wraps) {
      std::string call = start;
      for (int w = 0; w < wraps; ++w) call = "(progn " + call + ")";
      std::string reached[2];
      for (int e = 0; e < 2; ++e) {
        Session& s = e == 0 ? decoded : evaluator;
        EXPECT_EQ(s.Run(call), "ERROR");
        EXPECT_EQ(s.host.Take("message: ").size(), 1u);
        reached[e] = s.Run("(list m at)");
      }
      EXPECT_EQ(reached[0], reached[1]) << call;
    }
  }
}

}  // namespace
}  // namespace vex::test
