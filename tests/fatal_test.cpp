// The fatal ends that need generated programs: the global variable and
// function tables, the StringArea and the LocalStack filling up, each
// through vexilon-cli: its one message, the close request, exit status 3.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli_runner.h"

namespace vex::test {
namespace {

// A source file of count expressions made by make(k), k = 0, 1, ...
template <typename Make>
void WriteGenerated(const ScratchDir& dir, const std::string& name, int count,
                    Make make) {
  std::string text;
  for (int k = 0; k < count; ++k) text += make(k) + "\n";
  dir.WriteSource(name + ".LSP", text);
}

std::vector<std::string> LoadThenClose(const std::string& file,
                                       const std::string& message) {
  return {"title: " + file + ".LSPを読み込みます",
          "message: エラー: " + message, "close"};
}

TEST(Fatal, TheThreeThousandTwoHundredthGlobalVariable) {
  ScratchDir dir;
  WriteGenerated(dir, "globals", 3200, [](int k) {
    return "(setq g" + std::to_string(k) + " " + std::to_string(k) + ")";
  });
  int status = 0;
  EXPECT_EQ(Transcript(dir, {"(load 'globals)", "(car 5)"}, status),
            LoadThenClose("globals",
                          "グローバル変数領域が不足しています。終了します。"));
  EXPECT_EQ(status, 3);
}

TEST(Fatal, TheThreeThousandTwoHundredthFunction) {
  ScratchDir dir;
  WriteGenerated(dir, "functions", 3200, [](int k) {
    return "(defun f" + std::to_string(k) + " () 1)";
  });
  int status = 0;
  EXPECT_EQ(
      Transcript(dir, {"(load 'functions)", "(f1)"}, status),
      LoadThenClose("functions", "関数領域が一杯になりました。終了します。"));
  EXPECT_EQ(status, 3);
}

TEST(Fatal, AFullStringArea) {
  ScratchDir dir;
  // 330 names of a thousand units each need more than 640,000 bytes.
  WriteGenerated(dir, "names", 330, [](int k) {
    return "(quote n" + std::to_string(k) + std::string(1000, 'x') + ")";
  });
  int status = 0;
  EXPECT_EQ(Transcript(dir, {"(load 'names)", "(car 5)"}, status),
            LoadThenClose("names", "ストリング領域が一杯です。終了します。"));
  EXPECT_EQ(status, 3);
}

TEST(Fatal, AFullLocalStack) {
  ScratchDir dir;
  // 1,900 parameters (one name, repeated) and no arguments: each level
  // pushes 1,901 LocalStack entries, so the stack fills within some 1,700
  // levels, long before the nesting guard.
  std::string params;
  for (int k = 0; k < 1900; ++k) params += " x";
  int status = 0;
  EXPECT_EQ(Transcript(dir,
                       {"(defun deep (" + params + ") (deep))",
                        "(arc 1 (list (funcall 'deep)) 2)", "(car 5)"},
                       status),
            (std::vector<std::string>{"title: Vexilon - T ",
                                      "message: エラー: "
                                      "ローカルスタックが一杯です。終了します",
                                      "close"}));
  EXPECT_EQ(status, 3);
}

}  // namespace
}  // namespace vex::test
