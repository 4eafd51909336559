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
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli_runner.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;

const fs::path& ExamplesDir() {
  static const fs::path dir = fs::path(VEX_SOURCE_DIR) / "examples";
  return dir;
}

// The names of the files in dir with the extension ext, without it, sorted.
std::vector<std::string> Stems(const fs::path& dir, const std::string& ext) {
  std::vector<std::string> names;
  if (!fs::is_directory(dir)) return names;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().extension() == ext)
      names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST(Examples, EveryExampleHasItsPictureAndEveryPictureItsExample) {
  std::vector<std::string> programs = Stems(ExamplesDir(), ".LSP");
  EXPECT_GE(programs.size(), 10u);
  EXPECT_EQ(programs, Stems(ExamplesDir() / "svg", ".svg"));
}

class ExampleRun : public testing::TestWithParam<std::string> {};

TEST_P(ExampleRun, RunsWithoutErrorAndDrawsItsPicture) {
  const std::string name = GetParam();
  ScratchDir dir;
  fs::copy(ExamplesDir(), fs::path(dir.path()) / "examples",
           fs::copy_options::recursive);
  fs::remove_all(fs::path(dir.path()) / "examples" / "svg");
  CliResult r = RunCli(dir.path(), {"--events", "--svg", "drawing.svg", "-e",
                                    "(load 'examples\\" + name + ")"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  std::vector<std::string> lines = Lines(r.out);
  for (const std::string& line : lines)
    EXPECT_NE(line.rfind("message:", 0), 0u) << name << ": " << line;
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "title: Vexilon - T ") << r.out;

  std::string expected = ReadFile(ExamplesDir() / "svg" / (name + ".svg"));
  std::string got = dir.ReadBytes("drawing.svg");
  ASSERT_FALSE(got.empty()) << "no picture written";
  // Compared line by line, so a difference names the first primitive that
  // changed rather than printing two whole pictures.
  std::vector<std::string> want = Lines(expected), have = Lines(got);
  size_t n = std::min(want.size(), have.size());
  size_t first = 0;
  while (first < n && want[first] == have[first]) ++first;
  if (first < n || want.size() != have.size()) {
    ADD_FAILURE() << name << ": the drawing differs from examples/svg/" << name
                  << ".svg at line " << first + 1 << "\n  expected: "
                  << (first < want.size() ? want[first] : "(end)")
                  << "\n  got:      "
                  << (first < have.size() ? have[first] : "(end)")
                  << "\n(renew with examples/make-svgs.sh if intended)";
  }
}

std::string ParamName(const testing::TestParamInfo<std::string>& info) {
  std::string out;
  for (char c : info.param) out += std::isalnum((unsigned char)c) ? c : '_';
  return out;
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRun,
                         testing::ValuesIn(Stems(ExamplesDir(), ".LSP")),
                         ParamName);

}  // namespace
}  // namespace vex::test
