// Reading the REPL's lines: the choice of reader, and plain lines.
#include "console/line_input.h"

#include <cstdio>
#include <iostream>

#include "console/utf.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vex {

namespace {

bool StdinIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(0) != 0;
#endif
}

// Lines from standard input as they come; the prompts only when standard
// input is a terminal whose output goes elsewhere.
class PlainInput final : public LineInput {
 public:
  PlainInput() : prompt_(StdinIsTerminal()) {}
  ~PlainInput() override {
    if (prompt_) WriteUtf8(stdout, "\n");
  }
  Result Read(bool continued, std::string& line) override {
    if (prompt_) WriteUtf8(stdout, continued ? "  " : "> ");
    return std::getline(std::cin, line) ? Result::Line : Result::End;
  }
  void Remember(const std::string&) override {}

 private:
  bool prompt_;
};

}  // namespace

bool AtTerminal() {
#ifdef _WIN32
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) &&
         GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
#else
  return isatty(0) && isatty(1);
#endif
}

std::unique_ptr<LineInput> OpenLineInput(NameSource names) {
  if (AtTerminal()) return OpenLineEditor(std::move(names));
  return std::make_unique<PlainInput>();
}

}  // namespace vex
