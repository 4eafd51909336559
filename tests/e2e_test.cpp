// End-to-end tests: programs run by vexilon-cli --events, transcripts
// compared line by line.
//
// A case file in tests/e2e/ holds cases of this form:
//
//   === name of the case
//   args: --draw-events --size 640x480   (optional extra arguments)
//   @file prog.LSP                       (optional source files, written as
//   | (setq x 1)                          UTF-16LE with a byte-order mark and
//   @end                                  CR LF line ends)
//   > (car 5)                            (one typed program per line: -e)
//   stdin: (+ 1 2) (+ 3 4)               (a line of standard input)
//   < message: エラー: 文法エラー        (the expected transcript)
//   > (+ 1 2) ⇒ 3.000000 $               (a program and the one line it
//                                         shows: the title's value, or an
//                                         event such as "message: ...")
//   status: 0                            (the expected exit status; 0 if
//                                         absent)
//
// An expected line that ends in "$" ends there: the "$" marks lines whose
// last characters are blanks. The transcript of the start-up is checked
// separately; each case compares what comes after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli_runner.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;

struct Case {
  std::string file;
  int line = 0;
  std::string name;
  std::vector<std::string> args;
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::string> programs;
  std::string input;
  std::vector<std::string> expected;
  int status = 0;
};

std::vector<std::string> SplitArgs(const std::string& text) {
  std::istringstream s(text);
  std::vector<std::string> out;
  std::string word;
  while (s >> word) out.push_back(word);
  return out;
}

// An expected line as written: "$" ends it; after "⇒", a line that is no
// event is the title's value.
std::string Expected(std::string text, bool value) {
  if (!text.empty() && text.back() == '$') text.pop_back();
  for (const char* event : {"title: ", "message: ", "draw: ", "close"})
    if (!value || text.starts_with(event)) return text;
  return "title: Vexilon - " + text;
}

std::vector<Case> ReadCases(const fs::path& path) {
  std::vector<Case> cases;
  std::ifstream f(path);
  std::string line;
  int number = 0;
  std::string* openFile = nullptr;
  while (std::getline(f, line)) {
    ++number;
    if (openFile != nullptr) {
      if (line == "@end")
        openFile = nullptr;
      else
        *openFile += line.substr(line.size() > 1 ? 2 : 1) + "\n";
      continue;
    }
    if (line.rfind("=== ", 0) == 0) {
      Case c;
      c.file = path.filename().string();
      c.line = number;
      c.name = line.substr(4);
      cases.push_back(std::move(c));
      continue;
    }
    if (line.empty() || line[0] == '#' || cases.empty()) continue;
    Case& c = cases.back();
    if (line.rfind("> ", 0) == 0) {
      size_t arrow = line.find(" ⇒ ");
      c.programs.push_back(line.substr(2, arrow - 2));
      if (arrow != std::string::npos)
        c.expected.push_back(Expected(line.substr(arrow + 5), true));
    } else if (line.rfind("stdin: ", 0) == 0) {
      c.input += line.substr(7) + "\n";
    } else if (line.rfind("< ", 0) == 0 || line == "<") {
      c.expected.push_back(
          Expected(line.size() > 2 ? line.substr(2) : "", false));
    } else if (line.rfind("args: ", 0) == 0) {
      c.args = SplitArgs(line.substr(6));
    } else if (line.rfind("status: ", 0) == 0) {
      c.status = std::stoi(line.substr(8));
    } else if (line.rfind("@file ", 0) == 0) {
      c.files.emplace_back(line.substr(6), "");
      openFile = &c.files.back().second;
    } else {
      ADD_FAILURE() << path << ":" << number << ": unreadable line: " << line;
    }
  }
  return cases;
}

// The transcript of a start-up with nothing to run.
const std::vector<std::string>& StartupLines() {
  static const std::vector<std::string> lines = [] {
    ScratchDir dir;
    return Lines(RunCli(dir.path(), {"--events"}).out);
  }();
  return lines;
}

// Every case runs twice: with user functions decoded, and with everything
// through the evaluator; the two must give the same transcript.
constexpr const char* kEngines[][2] = {{"E2e_", "VEXILON_DECODE=1"},
                                       {"E2eEvaluator_", "VEXILON_DECODE=0"}};

class E2eCase : public testing::Test {
 public:
  E2eCase(Case c, std::string engine)
      : c_(std::move(c)), engine_(std::move(engine)) {}
  void TestBody() override {
    ScratchDir dir;
    for (const auto& [name, text] : c_.files) dir.WriteSource(name, text);
    std::vector<std::string> args{"--events"};
    args.insert(args.end(), c_.args.begin(), c_.args.end());
    for (const std::string& p : c_.programs) {
      args.push_back("-e");
      args.push_back(p);
    }
    CliResult r = RunCli(dir.path(), args, c_.input, {engine_});
    std::vector<std::string> got = Lines(r.out);
    const std::vector<std::string>& startup = StartupLines();
    ASSERT_GE(got.size(), startup.size()) << r.out << r.err;
    ASSERT_TRUE(std::equal(startup.begin(), startup.end(), got.begin()))
        << "start-up transcript differs:\n"
        << r.out;
    got.erase(got.begin(), got.begin() + long(startup.size()));
    EXPECT_EQ(got, c_.expected) << c_.file << ":" << c_.line << "\n" << r.err;
    EXPECT_EQ(r.status, c_.status) << r.err;
  }

 private:
  Case c_;
  std::string engine_;
};

std::string TestName(const std::string& text) {
  std::string out;
  for (char c : text)
    out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return out;
}

[[maybe_unused]] const bool registered = [] {
  fs::path dir = fs::path(VEX_SOURCE_DIR) / "tests" / "e2e";
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().extension() == ".vx") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    for (Case& c : ReadCases(file)) {
      for (const auto& [prefix, engine] : kEngines) {
        std::string suite = prefix + TestName(file.stem().string());
        std::string name = TestName(c.name);
        std::string source = file.string();
        std::string setting = engine;
        testing::RegisterTest(
            suite.c_str(), name.c_str(), nullptr, nullptr, source.c_str(),
            c.line, [c, setting] {
              return static_cast<testing::Test*>(new E2eCase(c, setting));
            });
      }
    }
  }
  return true;
}();

TEST(E2eStartup, TitleShowsTheLibraryBeingLoaded) {
  const std::vector<std::string>& lines = StartupLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "title: src\\vexsys.LSPを読み込みます");
}

}  // namespace
}  // namespace vex::test
