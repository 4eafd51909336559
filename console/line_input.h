// Reading what is typed into the REPL, one line at a time.
//
// Design note. From a pipe or a file, lines are read as they come and
// nothing is shown. When a person types at a terminal, a line editor reads
// them: libedit on POSIX systems (cursor keys, a history kept in
// ~/.vexilon_history, Tab completion of names), the console's own editing
// in UTF-16 on Windows. At either, Ctrl-C at the prompt drops what is being
// typed, and Ctrl-D (Ctrl-Z and Enter on Windows) on an empty line ends the
// input.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vex {

// The names Tab completes, as they are at the moment of the Tab (UTF-8).
using NameSource = std::function<std::vector<std::string>()>;

class LineInput {
 public:
  enum class Result {
    Line,       // a line, without its line end
    Cancelled,  // Ctrl-C: what was typed is dropped
    End,        // the input has ended
  };
  virtual ~LineInput() = default;
  // Reads one line in UTF-8. continued: the line goes on with a form begun
  // on an earlier line (the prompt says so).
  virtual Result Read(bool continued, std::string& line) = 0;
  // One complete input, its lines joined by blanks, for the history.
  virtual void Remember(const std::string& entry) = 0;
};

// Whether a person types at a terminal: standard input and standard output
// are a terminal (a console on Windows).
bool AtTerminal();

// The line editor when AtTerminal(), else plain lines (with the prompts
// shown when standard input alone is a terminal).
std::unique_ptr<LineInput> OpenLineInput(NameSource names);

// The terminal's line editor (line_editor_posix.cpp, line_editor_win.cpp).
std::unique_ptr<LineInput> OpenLineEditor(NameSource names);

}  // namespace vex
