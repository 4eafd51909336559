// Every example program in examples/ runs headless without an error message
// and draws exactly its checked-in picture examples/svg/NAME.svg.
//
// The console host has no mouse: getpoint answers NIL and getcorner its
// anchor, so the interactive examples run to their end as if the user had
// right-clicked at once. After a deliberate change of the drawing, renew the
// pictures with examples/make-svgs.sh and look at them before committing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli_runner.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;

const fs::path examples = fs::path(VEX_SOURCE_DIR) / "examples";

// The names of the files in dir with the extension ext, without it, sorted.
std::vector<std::string> Stems(const fs::path& dir, const std::string& ext) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().extension() == ext)
      names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Examples, EveryExampleHasItsPictureAndEveryPictureItsExample) {
  EXPECT_GE(Stems(examples, ".LSP").size(), 10u);
  EXPECT_EQ(Stems(examples, ".LSP"), Stems(examples / "svg", ".svg"));
}

class ExampleRun : public testing::TestWithParam<std::string> {};

TEST_P(ExampleRun, RunsWithoutErrorAndDrawsItsPicture) {
  const std::string name = GetParam();
  ScratchDir dir;
  fs::copy(examples, fs::path(dir.path()) / "examples",
           fs::copy_options::recursive);
  CliResult r = RunCli(dir, {"--events", "--svg", "drawing.svg", "-e",
                             "(load 'examples\\" + name + ")"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines = SplitLines(r.out);
  for (const std::string& line : lines)
    EXPECT_NE(line.rfind("message:", 0), 0u) << line;
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "title: Vexilon - T ") << r.out;
  // Line by line, so a difference names the first primitive that changed.
  std::vector<std::string> want = SplitLines(
                               dir.ReadBytes("examples/svg/" + name + ".svg")),
                           have = SplitLines(dir.ReadBytes("drawing.svg"));
  auto [w, h] =
      std::mismatch(want.begin(), want.end(), have.begin(), have.end());
  EXPECT_TRUE(w == want.end() && h == have.end())
      << name << ": the drawing differs from examples/svg/" << name
      << ".svg at line " << w - want.begin() + 1
      << "\n  expected: " << (w != want.end() ? *w : "(end)")
      << "\n  got:      " << (h != have.end() ? *h : "(end)")
      << "\n(renew with examples/make-svgs.sh if intended)";
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRun,
                         testing::ValuesIn(Stems(examples, ".LSP")));

}  // namespace
}  // namespace vex::test
