// Structures at the edges of what the interpreter holds: very deep and
// circular lists, evaluation nested deeper than any stack, and stopping a
// run. Each goes through vexilon-cli and must end in order: the system's
// message or a cut print, never a crash, and the next run works.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli_runner.h"

namespace vex::test {
namespace {

const std::string kNesting =
    "message: エラー: 評価の入れ子が深すぎます。実行を中止しました";

// (nest n x) wraps x in n lists of one element each, in the car direction.
const std::string kNest =
    "(defun nest (n x) (loop ((= n 0) x) (setq x (list x)) (setq n (- n 1))))";

TEST(Hardening, DeepListsPrintToTheLimitAndStayUsable) {
  ScratchDir dir;
  int status = 0;
  std::vector<std::string> t =
      Transcript(dir,
                 {kNest, "(setq d (nest 30000 'x))", "(progn (gc) (eq d d))",
                  "(progn (setq h (make-hash-table)) (setf (gethash 'k h) d) "
                  "(eq (gethash 'k h) d))",
                  "(progn (setq d NIL) (setq h NIL) (gc) T)"},
                 status);
  ASSERT_EQ(t.size(), 7u);
  // The printed form is cut at the print limit: "(" per level, no closing.
  const std::string prefix = "title: Vexilon - ";
  EXPECT_EQ(t[1], prefix + std::string(29998, '('));
  EXPECT_EQ(t[2].rfind("title: gc: ", 0), 0u);
  EXPECT_EQ(t[3], prefix + "T ");
  EXPECT_EQ(t[4], prefix + "T ");
  // Dropped, the 30,000 levels are freed again.
  EXPECT_EQ(t[5].rfind("title: gc: ", 0), 0u);
  EXPECT_LT(t[5].size(), t[2].size());
  EXPECT_EQ(t[6], prefix + "T ");
  EXPECT_EQ(status, 0);
}

TEST(Hardening, CircularListsPrintToTheLimitAndAreCollected) {
  ScratchDir dir;
  int status = 0;
  std::vector<std::string> t =
      Transcript(dir,
                 {"(progn (setq c (list 'a 'b)) (setf (cdr (cdr c)) c) T)", "c",
                  "(progn (setq h (make-hash-table)) (setf (gethash 1 h) c) "
                  "(eq (gethash 1.0 h) c))",
                  "(progn (setf (car c) c) (gc) (eq (car c) c))"},
                 status);
  ASSERT_EQ(t.size(), 5u);
  // "a b a b ...": 2 units an element until the limit stops it.
  std::string expected = "title: Vexilon - (";
  for (int units = 1; units + 2 < 29999; units += 2)
    expected += (units / 2) % 2 == 0 ? "a " : "b ";
  EXPECT_EQ(t[1], expected);
  EXPECT_EQ(t[2], "title: Vexilon - T ");
  EXPECT_EQ(t[4], "title: Vexilon - T ");
  EXPECT_EQ(status, 0);
}

TEST(Hardening, EvaluationNestedDeeperThanTheStackEndsInOrder) {
  ScratchDir dir;
  int status = 0;
  std::vector<std::string> t =
      Transcript(dir,
                 {// A form nested six million levels in the car direction,
                  // more than the evaluator's stack holds however small its
                  // frames.
                  "(defun wrap (n x) (loop ((= n 0) x) "
                  "(setq x (list 'car (list 'car (list 'car x)))) "
                  "(setq n (- n 1))))",
                  "(eval (wrap 2000000 5))", "(defun ev () (eval '(ev)))",
                  "(ev)", "(defun ap () (apply 'ap))", "(ap)", "(+ 1 2)"},
                 status);
  EXPECT_EQ(
      t, (std::vector<std::string>{
             "title: Vexilon - T ", kNesting, "title: Vexilon - T ", kNesting,
             "title: Vexilon - T ", kNesting, "title: Vexilon - 3.000000 "}));
  EXPECT_EQ(status, 0);
}

TEST(Hardening, CtrlCStopsTheRunAndTheNextRunWorks) {
  ScratchDir dir;
  // The REPL runs an endless loop, which first writes a file to say it has
  // started; then it is interrupted from outside: the form after it on the
  // same line is dropped, and the next input runs.
  std::string started = dir.path() + "/started.lin";
  std::thread stopper([&] {
    for (int i = 0; i < 600 && !std::filesystem::exists(started); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // The size argument sets this process apart from other tests'.
    std::string cmd = "pkill -INT -f '^" + std::string(VEX_CLI) +
                      " --events --size 801x601$'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
  });
  CliResult r =
      RunCli(dir.path(), {"--events", "--size", "801x601"},
             "(progn (writelc NIL NIL 'started) (loop)) (+ 5 5)\n(+ 1 2)\n");
  stopper.join();
  EXPECT_NE(r.out.find("message: エラー: 実行を中断しました\n"
                       "title: Vexilon - 3.000000 \n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.status, 0);
}

}  // namespace
}  // namespace vex::test
