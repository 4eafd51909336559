// The line editor at a Windows console: the console's own.
//
// Design note. The console edits the line itself (cursor keys, its own
// history, F7); it is read in UTF-16 with ReadConsoleW, so any character
// typed arrives whatever the console's code page, and written with
// WriteConsoleW (WriteUtf8). Ctrl-C makes ReadConsoleW return with nothing
// read while the control handler lets the program go on; Ctrl-Z at the
// start of a line is the end of the input.
#include <windows.h>

#include <string>

#include "console/line_input.h"
#include "console/utf.h"

namespace vex {

namespace {

constexpr char16_t END_OF_INPUT = 0x1A;  // Ctrl-Z

class ConsoleLineInput final : public LineInput {
 public:
  explicit ConsoleLineInput(NameSource) {}
  Result Read(bool continued, std::string& line) override {
    WriteUtf8(stdout, continued ? "  " : "> ");
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::u16string text;
    while (text.empty() || text.back() != u'\n') {
      char16_t block[1024];
      DWORD got = 0;
      if (!ReadConsoleW(input, block, DWORD(std::size(block)), &got, nullptr))
        return GetLastError() == ERROR_OPERATION_ABORTED ? Cancelled() : End();
      if (got == 0) return Cancelled();
      text.append(block, got);
    }
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r'))
      text.pop_back();
    if (!text.empty() && text.front() == END_OF_INPUT) return End();
    line = ToUtf8(text);
    return Result::Line;
  }
  // The console keeps its own history.
  void Remember(const std::string&) override {}

 private:
  static Result Cancelled() {
    WriteUtf8(stdout, "\n");
    return Result::Cancelled;
  }
  static Result End() {
    WriteUtf8(stdout, "\n");
    return Result::End;
  }
};

}  // namespace

std::unique_ptr<LineInput> OpenLineEditor(NameSource names) {
  return std::make_unique<ConsoleLineInput>(std::move(names));
}

}  // namespace vex
