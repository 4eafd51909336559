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
// last characters are blanks. Every transcript begins with the start-up
// library's title; each case gives what comes after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli_runner.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;

struct Case {
  std::string name;
  int line = 0;
  std::vector<std::string> args{"--events"};
  std::vector<std::pair<std::string, std::string>> files{};
  std::string input{};
  std::vector<std::string> expected{"title: src\\vexsys.LSPを読み込みます"};
  int status = 0;
};

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
  std::string line, *file = nullptr;
  for (int number = 1; std::getline(f, line); ++number) {
    if (file != nullptr) {
      if (line == "@end")
        file = nullptr;
      else
        *file += line.substr(std::min<size_t>(line.size(), 2)) + "\n";
    } else if (line.starts_with("=== ")) {
      cases.push_back({line.substr(4), number});
    } else if (line.empty() || line[0] == '#' || cases.empty()) {
      // a blank line, a comment, or what comes before the first case
    } else if (line.starts_with("> ")) {
      size_t arrow = line.find(" ⇒ ");
      cases.back().args.push_back("-e");
      cases.back().args.push_back(line.substr(2, arrow - 2));
      if (arrow != std::string::npos)
        cases.back().expected.push_back(Expected(line.substr(arrow + 5), true));
    } else if (line.starts_with("<")) {
      cases.back().expected.push_back(
          Expected(line.substr(std::min<size_t>(line.size(), 2)), false));
    } else if (line.starts_with("stdin: ")) {
      cases.back().input += line.substr(7) + "\n";
    } else if (line.starts_with("args: ")) {
      std::istringstream words(line.substr(6));
      auto& args = cases.back().args;
      args.insert(args.begin() + 1, std::istream_iterator<std::string>(words),
                  {});
    } else if (line.starts_with("status: ")) {
      cases.back().status = std::stoi(line.substr(8));
    } else if (line.starts_with("@file ")) {
      file = &cases.back().files.emplace_back(line.substr(6), "").second;
    } else {
      ADD_FAILURE() << path << ":" << number << ": unreadable line: " << line;
    }
  }
  return cases;
}

class E2eCase : public testing::Test {
 public:
  E2eCase(Case c, std::string engine) : c_(std::move(c)), engine_(engine) {}
  void TestBody() override {
    ScratchDir dir;
    for (const auto& [name, text] : c_.files) dir.WriteSource(name, text);
    CliResult r = RunCli(dir, c_.args, c_.input, engine_);
    EXPECT_EQ(SplitLines(r.out), c_.expected) << "line " << c_.line << "\n"
                                              << r.err;
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

// Every case runs twice: with user functions decoded, and with everything
// through the evaluator; the two must give the same transcript.
[[maybe_unused]] const bool registered = [] {
  std::vector<fs::path> files;
  for (const auto& entry :
       fs::directory_iterator(fs::path(VEX_SOURCE_DIR) / "tests" / "e2e"))
    if (entry.path().extension() == ".vx") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    for (const Case& c : ReadCases(file)) {
      for (auto [prefix, engine] : {std::pair{"E2e_", "VEXILON_DECODE=1"},
                                    {"E2eEvaluator_", "VEXILON_DECODE=0"}}) {
        std::string suite = prefix + TestName(file.stem().string());
        testing::RegisterTest(
            suite.c_str(), TestName(c.name).c_str(), nullptr, nullptr,
            file.c_str(), c.line,
            [c, engine = std::string(engine)]() -> testing::Test* {
              return new E2eCase(c, engine);
            });
      }
    }
  }
  return true;
}();

}  // namespace
}  // namespace vex::test
